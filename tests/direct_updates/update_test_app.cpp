// A stand-in application for the update tests: when started from an install
// folder it starts its updates backend (which clears the copy it replaced)
// and writes its build version and the process it was started after to the
// file UPDATE_TEST_REPORT names.

#include <cstdlib>
#include <fstream>

#include <QCoreApplication>

#include "quorvel-direct-updates/sparkle_update_backend.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const quorvel::AppBundle bundle = quorvel::AppBundle::main();
    quorvel::SparkleUpdateBackend backend(bundle);
    const bool started = backend.start().has_value();
    if (const char* report = std::getenv("UPDATE_TEST_REPORT")) {
        std::ofstream out(std::string(report) + ".tmp");
        const char* after = std::getenv("QUORVEL_RELAUNCH_AFTER");
        out << bundle.stringValue("CFBundleVersion").value_or("?") << (started ? "" : " failed")
            << "\nrelaunched after " << (after ? after : "nothing");
        out.close();
        std::rename((std::string(report) + ".tmp").c_str(), report);
    }
    return 0;
}
