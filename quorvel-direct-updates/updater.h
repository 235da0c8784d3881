#pragma once

// The self-updater of a directly distributed copy: fetches the signed feed,
// offers a newer build, downloads and verifies it, unpacks it beside the
// install folder, swaps the folders and starts the new build. It draws
// nothing: every step goes to its user driver.

#include <chrono>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "quorvel-direct-updates/appcast.h"
#include "quorvel-direct-updates/updater_user_driver.h"
#include "quorvel-kit/updates/app_bundle.h"
#include "quorvel-kit/updates/https_transfer.h"
#include "quorvel-kit/updates/user_defaults.h"

namespace quorvel {

class Updater : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint64_t kMaxFeedBytes = 1 << 20;
    static constexpr std::uint64_t kMaxArchiveBytes = std::uint64_t(2) << 30;

    struct Delegate {
        std::function<std::optional<std::string>()> feedURLString;
        // Asked to end the running program once the new build has started.
        std::function<void()> terminate;
    };

    // The variable the started build finds the old process's id in, so that
    // it waits for that process to let go of its data before it runs.
    static constexpr const char* kRelaunchVariable = "QUORVEL_RELAUNCH_AFTER";

    Updater(AppBundle host, UpdaterUserDriver& driver, Delegate delegate,
            QObject* parent = nullptr);
    // Stops the unpacking, waits for it and removes an unfinished update.
    ~Updater() override;

    // Reads the settings, removes what an earlier update left behind, and
    // schedules automatic checks. Fails when this copy cannot update itself:
    // no feed or key, or an install folder that is not the application's alone.
    std::expected<void, UpdaterError> start();

    bool canCheckForUpdates() const { return m_canCheck; }
    void checkForUpdates();

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool on);

    // Where the install folder's old copy waits for the new build to start.
    static std::filesystem::path previousFolder(const std::filesystem::path& install);
    static std::filesystem::path stagingFolder(const std::filesystem::path& install);

signals:
    void canCheckForUpdatesChanged(bool canCheck);

private:
    enum class Stage { none, checking, offered, downloading, extracting, ready, installing };

    void beginCheck(bool userInitiated);
    void onFeed(std::uint64_t session, HttpsTransfer::Result result);
    void offer(std::uint64_t session, const AppcastItem& item);
    void onChoice(std::uint64_t session, UpdateChoice choice);
    void download(std::uint64_t session);
    void onDownloaded(std::uint64_t session, HttpsTransfer::Result result);
    void onExtracted(std::uint64_t session, std::optional<UpdaterError> error);
    void onReadyChoice(std::uint64_t session, UpdateChoice choice);
    void install(std::uint64_t session);
    void notFound(std::uint64_t session, int reason);
    void fail(std::uint64_t session, const UpdaterError& error);
    void cancelSession(std::uint64_t session);
    void endSession();
    void setCanCheck(bool canCheck);
    void schedule();
    void removeStaging();
    void stopUnpacking();
    std::optional<std::string> installRefusal() const;
    std::string installedBuild() const;
    QByteArray publicKey() const;

    AppBundle m_host;
    UpdaterUserDriver& m_driver;
    Delegate m_delegate;
    UserDefaults m_defaults;
    bool m_started = false;
    bool m_canCheck = false;
    QTimer m_schedule;

    std::uint64_t m_generation = 0;
    std::uint64_t m_session = 0; // 0 when no session runs
    bool m_userSession = false;
    Stage m_stage = Stage::none;
    std::optional<AppcastItem> m_item;
    QPointer<HttpsTransfer> m_transfer;
    std::jthread m_unpacker;
};

} // namespace quorvel
