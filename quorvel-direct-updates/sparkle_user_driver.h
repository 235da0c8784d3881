#pragma once

// Turns each step of the updater into an update snapshot and keeps the
// updater's pending replies until the user answers in the update view.

#include <cstdint>
#include <functional>
#include <optional>

#include "quorvel-direct-updates/updater_user_driver.h"
#include "quorvel-kit/updates/update_vocabulary.h"

namespace quorvel {

class SparkleUserDriver : public UpdaterUserDriver {
public:
    explicit SparkleUserDriver(std::function<bool()> canRelaunch);

    const UpdateSnapshot& snapshot() const { return m_snapshot; }
    std::function<void(const UpdateSnapshot&)> onChange;
    // The updater's ability to check now, as last observed; written by the backend.
    bool canCheck = false;

    void perform(UpdateAction action);
    void publish(UpdateSnapshot snapshot);
    // Publishes the current snapshot again (after `canCheck` changed).
    void republish() { publish(m_snapshot); }

    static UpdateFailure failure(const UpdaterError& error);

    void showUserInitiatedUpdateCheck(std::function<void()> cancellation) override;
    void showUpdateFound(const AppcastItem& item, UpdateStage stage,
                         std::function<void(UpdateChoice)> reply) override;
    void showUpdateNotFound(const UpdaterError& error,
                            std::function<void()> acknowledgement) override;
    void showUpdaterError(const UpdaterError& error,
                          std::function<void()> acknowledgement) override;
    void showDownloadInitiated(std::function<void()> cancellation) override;
    void showDownloadDidReceiveExpectedContentLength(std::uint64_t length) override;
    void showDownloadDidReceiveData(std::uint64_t length) override;
    void showDownloadDidStartExtractingUpdate() override;
    void showExtractionReceivedProgress(double progress) override;
    void showReadyToInstallAndRelaunch(std::function<void(UpdateChoice)> reply) override;
    void showInstallingUpdate(bool applicationTerminated,
                              std::function<void()> retryTerminatingApplication) override;
    void showUpdateInstalledAndRelaunched(bool relaunched,
                                          std::function<void()> acknowledgement) override;
    void dismissUpdateInstallation() override;

private:
    void dropPending();
    void reply(UpdateChoice choice);
    void publishDownload();

    UpdateSnapshot m_snapshot{UpdatePhase::idle(), {}};
    std::optional<UpdateRelease> m_release;
    std::function<void(UpdateChoice)> m_choice;
    std::function<void()> m_cancellation;
    std::function<void()> m_retryTermination;
    std::uint64_t m_received = 0;
    std::optional<std::uint64_t> m_expected;
    std::function<bool()> m_canRelaunch;
};

} // namespace quorvel
