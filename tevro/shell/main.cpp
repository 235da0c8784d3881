// Tevro's entry point.

#include <clocale>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>

#include "tevro/library/library_style.h"
#include "tevro/shell/app_delegate.h"
#include "tevro/shell/application.h"
#include "tevro/shell/bundled_runtime.h"
#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"

int main(int argc, char** argv) {
    tevro::BundledRuntime::configure();
    QApplication app(argc, argv);
    // Qt adopts the user's locale on start; libmpv needs C number formatting.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Tevro"));
    QApplication::setApplicationVersion(QStringLiteral(TEVRO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tevro"));

    std::string folder = QDir::currentPath().toStdString();
    std::vector<std::string> urls;
    for (int i = 1; i < argc; ++i)
        urls.push_back(tevro::AppDelegate::urlFromArgument(argv[i], folder));

    tevro::LibraryStyle::apply(app);
    tevro::Application application;
    application.watchSignals();
    if (!application.start(urls))
        return 0;
    return app.exec();
}
