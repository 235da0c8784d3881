#include "tevro/shell/app_updates.h"

#include <QAbstractButton>
#include <QCoreApplication>

#include "quorvel-direct-updates/sparkle_update_backend.h"
#include "quorvel-kit/updates/update_text.h"
#include "tevro/core/storage.h"
#include "tevro/library/library_button_style.h"

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
    // The update window's buttons have the look of every other window's.
    gController->setButtonLook(
        [](QAbstractButton* button) { LibraryButtonStyle::apply(button, false); });
    // Its window goes while the application still exists.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] {
        delete gController;
        gController = nullptr;
    });
    return *gController;
}

} // namespace tevro::AppUpdates
