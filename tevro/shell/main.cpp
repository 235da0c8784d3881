// Tevro's entry point.

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>

#include "tevro/library/library_style.h"
#include "tevro/shell/application.h"
#include "tevro/shell/bundled_runtime.h"
#include "tevro/shell/command_line.h"
#include "tevro/library/symbols.h"

int main(int argc, char** argv) {
    tevro::BundledRuntime::configure();
    QApplication app(argc, argv);
    // Qt adopts the user's locale on start; libmpv needs C number formatting.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Tevro"));
    QApplication::setApplicationVersion(QStringLiteral(TEVRO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tevro"));

    // Qt has taken its own options out of argv by now.
    std::vector<std::string> arguments(argv + 1, argv + argc);
    auto line = tevro::CommandLine::parse(arguments, QDir::currentPath().toStdString());
    if (line.help) {
        std::fputs(tevro::CommandLine::kUsage, stdout);
        return 0;
    }
    if (!line.unknownOptions.empty()) {
        for (const auto& option : line.unknownOptions)
            std::fprintf(stderr, "tevro: unknown option %s\n", option.c_str());
        std::fputs(tevro::CommandLine::kUsage, stderr);
    }

    tevro::LibraryStyle::apply(app);
    tevro::Application application;
    application.watchSignals();
    if (!application.start(line.urls))
        return 0;
    return app.exec();
}
