#include "tests/support/qt_app.h"

#include <clocale>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace tevro::test {

void ensureQtApp() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tevro-tests";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    // The application takes the environment's locale; numbers stay "C" for mpv.
    std::setlocale(LC_NUMERIC, "C");
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    ensureQtApp();
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeout.count())
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

void spinFor(std::chrono::milliseconds time) {
    ensureQtApp();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < time.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
}

} // namespace tevro::test
