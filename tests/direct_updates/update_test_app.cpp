// A stand-in application for the update tests: when started from an install
// folder it starts its updates backend (which clears the copy it replaced)
// and writes its build version and the process it was started after to the
// file UPDATE_TEST_REPORT names. With UPDATE_TEST_OUTCOME set, and not
// started by an update, it goes through a whole update by itself, as a user
// pressing each button would, and writes how it ended to that file.

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include <QCoreApplication>
#include <QTimer>

#include "quorvel-direct-updates/sparkle_update_backend.h"
#include "quorvel-kit/updates/quorvel_updates.h"

namespace {

void writeFile(const char* path, const std::string& text) {
    if (!path)
        return;
    std::ofstream out(std::string(path) + ".tmp");
    out << text;
    out.close();
    std::rename((std::string(path) + ".tmp").c_str(), path);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const quorvel::AppBundle bundle = quorvel::AppBundle::main();
    auto backend = std::make_shared<quorvel::SparkleUpdateBackend>(bundle);
    quorvel::QuorvelUpdates model(backend, quorvel::UserDefaults("host"));
    model.start();
    const char* after = std::getenv("QUORVEL_RELAUNCH_AFTER");
    writeFile(std::getenv("UPDATE_TEST_REPORT"),
              bundle.stringValue("CFBundleVersion").value_or("?") +
                  (model.started() ? "" : " failed") + "\nrelaunched after " +
                  (after ? after : "nothing"));

    const char* outcome = std::getenv("UPDATE_TEST_OUTCOME");
    if (!outcome || after)
        return 0;
    if (!model.started()) {
        writeFile(outcome, "unavailable");
        return 0;
    }
    using Kind = quorvel::UpdatePhase::Kind;
    auto press = [&model](quorvel::UpdateAction action) {
        QTimer::singleShot(0, &model, [&model, action] { model.perform(action); });
    };
    QObject::connect(&model, &quorvel::QuorvelUpdates::snapshotChanged, &app,
                     [&](const quorvel::UpdateSnapshot& snapshot) {
                         switch (snapshot.phase.kind()) {
                         case Kind::available:
                             return press(quorvel::UpdateAction::download);
                         case Kind::readyToInstall:
                             return press(quorvel::UpdateAction::installAndRelaunch);
                         case Kind::upToDate:
                             writeFile(outcome, "up to date");
                             return QCoreApplication::quit();
                         case Kind::failed:
                             writeFile(outcome, "failed " + std::string(quorvel::rawValue(
                                                                snapshot.phase.failure())));
                             return QCoreApplication::quit();
                         case Kind::installed:
                             // The backend quits once the new build has started.
                             return writeFile(outcome, "installed");
                         default:
                             return;
                         }
                     });
    QTimer::singleShot(std::chrono::seconds(60), &app, [outcome] {
        writeFile(outcome, "timed out");
        QCoreApplication::quit();
    });
    model.perform(quorvel::UpdateAction::check);
    return app.exec();
}
