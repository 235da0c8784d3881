#include "tests/support/playback/widget_app.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <QApplication>

namespace tevro::playback {

void ensureWidgetApp() {
    if (auto* app = QCoreApplication::instance()) {
        if (!qobject_cast<QApplication*>(app)) {
            std::fputs("a QCoreApplication exists where widgets need a QApplication\n", stderr);
            std::abort();
        }
        return;
    }
    static int argc = 1;
    static char name[] = "tevro-tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
}

} // namespace tevro::playback
