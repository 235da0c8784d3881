// The update views need a widgets application, which must exist before any
// test makes a plain core application; and the desktop notices need a session
// bus of the tests' own, which must be known before the first bus connection.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QApplication>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class WidgetsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        startPrivateBus();
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "kit_updates_tests";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
    }

    void TearDown() override {
        if (m_bus > 0) {
            ::kill(m_bus, SIGTERM);
            ::waitpid(m_bus, nullptr, 0);
        }
    }

private:
    void startPrivateBus() {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        m_bus = ::fork();
        if (m_bus == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address=1",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string address;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n')
            address += c;
        ::close(fds[0]);
        if (!address.empty())
            ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    }

    pid_t m_bus = -1;
};

[[maybe_unused]] const auto* registered =
    ::testing::AddGlobalTestEnvironment(new WidgetsEnvironment);

} // namespace
