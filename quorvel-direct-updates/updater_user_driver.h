#pragma once

// What the updater tells the user interface at each step, and the replies it
// waits for. The updater calls these on the main thread; each reply it hands
// over may be called once.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "quorvel-direct-updates/appcast.h"

namespace quorvel {

enum class UpdateChoice { skip = 0, install = 1, dismiss = 2 };
enum class UpdateStage { notDownloaded = 0, downloaded = 1, installing = 2 };

struct UpdaterError {
    enum class Domain { updater, network, other };
    // Codes of the updater's own domain.
    static constexpr int kNoUpdate = 1001;
    static constexpr int kAppcast = 1002;
    static constexpr int kDownload = 2001;
    static constexpr int kUnarchiving = 3000;
    static constexpr int kSignature = 3001;
    static constexpr int kValidation = 3002;
    static constexpr int kInstallation = 4005;

    // Reasons carried by a kNoUpdate error.
    static constexpr int kOnLatestVersion = 1;
    static constexpr int kOnNewerThanLatestVersion = 2;
    static constexpr int kSystemIsTooOld = 3;

    Domain domain = Domain::updater;
    int code = 0;
    std::string message{};
    std::optional<int> noUpdateReason{};
    std::shared_ptr<const UpdaterError> underlying{};

    static UpdaterError make(Domain domain, int code, std::string message,
                             std::optional<UpdaterError> cause = std::nullopt);
};

class UpdaterUserDriver {
public:
    virtual ~UpdaterUserDriver() = default;

    virtual void showUserInitiatedUpdateCheck(std::function<void()> cancellation) = 0;
    virtual void showUpdateFound(const AppcastItem& item, UpdateStage stage,
                                 std::function<void(UpdateChoice)> reply) = 0;
    virtual void showUpdateNotFound(const UpdaterError& error,
                                    std::function<void()> acknowledgement) = 0;
    virtual void showUpdaterError(const UpdaterError& error,
                                  std::function<void()> acknowledgement) = 0;
    virtual void showDownloadInitiated(std::function<void()> cancellation) = 0;
    virtual void showDownloadDidReceiveExpectedContentLength(std::uint64_t length) = 0;
    virtual void showDownloadDidReceiveData(std::uint64_t length) = 0;
    virtual void showDownloadDidStartExtractingUpdate() = 0;
    virtual void showExtractionReceivedProgress(double progress) = 0;
    virtual void showReadyToInstallAndRelaunch(std::function<void(UpdateChoice)> reply) = 0;
    virtual void showInstallingUpdate(bool applicationTerminated,
                                      std::function<void()> retryTerminatingApplication) = 0;
    virtual void showUpdateInstalledAndRelaunched(bool relaunched,
                                                  std::function<void()> acknowledgement) = 0;
    virtual void dismissUpdateInstallation() = 0;
};

} // namespace quorvel
