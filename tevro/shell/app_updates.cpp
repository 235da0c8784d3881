#include "tevro/shell/app_updates.h"

#include <QCoreApplication>

#include "quorvel-direct-updates/sparkle_update_backend.h"
#include "quorvel-kit/updates/update_text.h"
#include "tevro/core/storage.h"

namespace tevro::AppUpdates {

namespace {

quorvel::ApplicationUpdates* gController = nullptr;

std::function<void()>& terminateAction() {
    static std::function<void()> action;
    return action;
}

} // namespace

void setTerminate(std::function<void()> terminate) {
    terminateAction() = std::move(terminate);
}

quorvel::ApplicationUpdates& controller() {
    if (gController)
        return *gController;
    // The kit keeps its switches in the data folder; Tevro speaks only Russian.
    quorvel::UserDefaults::setStandardFolder(Storage::home());
    quorvel::UpdateText::setPreferredLocalizations({"ru"});
    auto backend = std::make_shared<quorvel::SparkleUpdateBackend>(
        quorvel::AppBundle::main(), [] { return true; },
        [] {
            if (terminateAction())
                terminateAction()();
            else
                QCoreApplication::quit();
        });
    gController = new quorvel::ApplicationUpdates(std::move(backend),
                                                  [] { return std::optional<std::string>("ru"); });
    // Its window goes while the application still exists.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] {
        delete gController;
        gController = nullptr;
    });
    return *gController;
}

} // namespace tevro::AppUpdates
