#pragma once

// The one torrent engine of the application: owns the bridge session, polls
// it, publishes the torrent list and session counters on the main thread,
// turns events into messages, pushes settings, keeps per-torrent metadata and
// runs every query on its serial queue "tevro.engine". Published values
// notify only when they change.

#include <atomic>
#include <expected>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "tevro/core/app_settings.h"
#include "tevro/core/file_check.h"
#include "tevro/core/file_priority.h"
#include "tevro/core/peer_info.h"
#include "tevro/core/piece_map.h"
#include "tevro/core/serial_queue.h"
#include "tevro/core/status_snapshot.h"
#include "tevro/core/torrent_event.h"
#include "tevro/core/torrent_file.h"
#include "tevro/core/torrent_meta.h"
#include "tevro/core/torrent_preview.h"
#include "tevro/core/tracker_info.h"
#include "tevro/engine/status_decoder.h"
#include "tevro/engine/checking_load_sampler.h"
#include "tevro/engine/checking_progress_estimator.h"
#include "tevro/engine/checking_resource_controller.h"
#include "tevro/engine/engine_error.h"
#include "tevro/engine/system_probe.h"

struct tb_session;

namespace tevro {

class TrackerListFetcher;

class TorrentEngine : public QObject {
    Q_OBJECT
public:
    // Where the time of the last applied poll went, in seconds.
    struct PollTimings {
        double bridge = 0; // the status and events calls
        double decode = 0; // JSON to records, off the main thread
        double apply = 0;  // publishing on the main thread
    };

    struct Options {
        // Where settings, metadata and the "state" folder live; the data folder by default.
        std::filesystem::path dataFolder;
        std::shared_ptr<SystemProbe> probe;
        // Public tracker-list sources; the profile's own when not set.
        std::optional<std::vector<std::string>> trackerSources;
        bool refreshTrackersAtStart = true;
        // Shows a path in the file manager: (target, select) where select
        // means the target exists and should be selected in its folder.
        std::function<void(const std::filesystem::path&, bool)> reveal;
    };

    // The application's engine, created on first use on the main thread.
    static TorrentEngine& shared();
    // Options for the shared engine (the file manager hook, for one); call
    // before its first use.
    static void setSharedOptions(Options options);

    explicit TorrentEngine(Options options, QObject* parent = nullptr);
    ~TorrentEngine() override;

    // Published state (main thread).
    const std::vector<TorrentStatus>& torrents() const { return m_torrents; }
    // Counts the changes of torrents(): the same number, the same list.
    std::uint64_t torrentsRevision() const { return m_torrentsRevision; }
    // What the last change of torrents() touched, so that views keep their
    // work to the rows that moved.
    struct TorrentsChange {
        std::uint64_t revision = 0;       // torrentsRevision() after the change
        bool reordered = false;           // kept torrents changed places: redo everything
        std::vector<std::string> changed; // rows new or different
        std::vector<std::string> removed;
    };
    const TorrentsChange& lastChange() const { return m_lastChange; }
    // All that changed since `revision`: nothing when it is the current one,
    // lastChange() when that was the only change since; null when more was.
    const TorrentsChange* changeSince(std::uint64_t revision) const;
    // A torrent's place in torrents().
    std::optional<std::size_t> position(const std::string& id) const;
    const SessionInfo& sessionInfo() const { return m_sessionInfo; }
    // The list is not whole yet: no status so far, or saved torrents still
    // being restored.
    bool restoring() const { return m_restoring; }
    const AppSettings& settings() const { return m_settings; }
    // Runs the settings chain when the value differs.
    void setSettings(const AppSettings& settings);
    // setSettings(), then "settings.json" written at once: an error when the
    // change is in force but could not be saved (it is saved once it can be).
    std::expected<void, EngineError> commitSettings(const AppSettings& settings);
    const TorrentMetaMap& meta() const { return m_meta; }
    const std::optional<std::string>& toast() const { return m_toast; }
    const std::optional<std::string>& trackerFetchStatus() const { return m_trackerFetchStatus; }
    const std::vector<std::string>& pendingOpen() const { return m_pendingOpen; }
    void setPendingOpen(std::vector<std::string> urls);
    void appendPendingOpen(const std::string& url);
    const std::optional<std::string>& focusRequest() const { return m_focusRequest; }
    void setFocusRequest(std::optional<std::string> id);

    const std::filesystem::path& dataFolder() const { return m_dataFolder; }
    // What was last pushed to the bridge.
    const std::string& appliedSettings() const { return m_appliedSettings; }
    double pollInterval() const { return m_pollInterval; }
    const CheckingResources& checkingResources() const { return m_checkingController.current; }
    bool isShutDown() const { return m_isShutDown; }
    int memoryPressure() const { return m_memoryPressure; }
    const PollTimings& lastPollTimings() const { return m_lastPollTimings; }

    // Lifecycle.
    void poll();
    // One bridge event: its message, or the focus request a magnet's metadata makes.
    void handle(const TorrentEvent& event);
    void show(const std::string& message, int milliseconds = 5000);
    void shutdown();
    void scheduleMetaSave();

    // Writes a file of the data folder by name. A failed write is said in a
    // message (once until it succeeds) and retried every few seconds with
    // `write`, which writes the current value; the error when it failed now.
    std::expected<void, EngineError> writeDataFile(const std::string& name,
                                                   std::function<std::error_code()> write);
    // Data-folder files whose last write failed, by name.
    std::vector<std::string> unsavedFiles() const;
    // A damaged or unreadable file, told in the one message of what the start
    // found (before the first poll is applied; a message of its own after).
    void noteStartFinding(const std::string& line);
    const FileCheck& settingsCheck() const { return m_settingsCheck; }
    const FileCheck& metaCheck() const { return m_metaCheck; }

    // Settings side.
    void refreshTrackers(bool force);
    bool settingsLimitReached(const TorrentStatus& torrent) const;
    void setCheckingPlaybackActive(bool active);
    bool checkingPlaybackActive() const { return m_checkingPlaybackActive; }
    void updateCheckingResources(bool force);

    // Commands (main thread; they call the bridge directly and poll).
    std::expected<AddResult, EngineError> addTorrent(const std::filesystem::path& torrentFile,
                                                     const std::string& savePath,
                                                     std::optional<std::vector<int>> priorities,
                                                     bool paused, bool sequential);
    std::expected<AddResult, EngineError> addMagnet(const std::string& magnet,
                                                    const std::string& savePath, bool chooseFiles,
                                                    bool paused, bool sequential);
    TorrentPreview preview(const std::filesystem::path& torrentFile) const;
    // The same two off the main thread, on the engine queue: a large or
    // hostile file never holds the window. `done` runs on the main thread.
    using AddOutcome = std::expected<AddResult, EngineError>;
    void addTorrent(const std::filesystem::path& torrentFile, const std::string& savePath,
                    std::optional<std::vector<int>> priorities, bool paused, bool sequential,
                    std::function<void(AddOutcome)> done);
    void preview(const std::filesystem::path& torrentFile,
                 std::function<void(TorrentPreview)> done);
    std::optional<TorrentStatus> torrent(const std::string& id) const;
    void togglePause(const std::string& id);
    void setPriority(const std::string& id, const std::vector<int>& files, FilePriority priority);
    void action(const std::string& name, const std::vector<std::string>& ids);
    void remove(const std::vector<std::string>& ids, bool deleteFiles);
    void resume(const std::vector<std::string>& ids);
    void pause(const std::vector<std::string>& ids);
    void updateMeta(const std::string& id, const std::function<void(TorrentMeta&)>& edit);
    void reveal(const std::string& id, const std::optional<TorrentFile>& file);

    // Queries: the bridge work runs on the engine queue, the callback on the main thread.
    void files(const std::string& id, std::function<void(std::vector<TorrentFile>)> done);
    void peers(const std::string& id, std::function<void(std::vector<PeerInfo>)> done);
    void trackers(const std::string& id, std::function<void(std::vector<TrackerInfo>)> done);
    void pieces(const std::string& id, int file, std::function<void(std::string)> done);
    void pieceMap(const std::string& id, std::function<void(PieceMap)> done);
    void networkDiagnostics(std::function<void(std::string)> done);
    void peerDiagnostics(const std::string& id, std::function<void(std::string)> done);
    void refreshForAutomation(std::function<void()> done = {});

    // The session, for the streaming reader of the player (never null while running).
    tb_session* session() const { return m_session; }
    // Runs a streaming call (progress, prefetch) on its own queue, apart from
    // the polls, and hands the result to `done` on the main thread; nothing
    // runs once the engine has shut down.
    template <class T>
    void streamQuery(std::function<T(tb_session*)> job, std::function<void(T)> done) {
        onQueue<T>(*m_streamQueue, std::move(job), std::move(done));
    }

signals:
    void torrentsChanged();
    void sessionInfoChanged();
    void restoringChanged();
    void settingsChanged();
    void metaChanged();
    void toastChanged();
    void trackerFetchStatusChanged();
    void pendingOpenChanged();
    void focusRequestChanged();
    // The bridge was given a new settings text.
    void settingsPushed();
    // A poll's results were applied (or dropped as undecodable).
    void polled();

private:
    void setPollInterval(double seconds);
    void onTimer();
    void apply(std::optional<StatusDelta> delta, std::vector<TorrentEvent> events);
    // The bridge's report decoded as a delta; an unchanged report costs no
    // text at all. On the engine queue.
    static std::optional<StatusDelta> pollStatus(tb_session* s, StatusDecoder& decoder);
    // The rows of a delta in m_torrents; false when it does not fit them.
    bool applyRows(StatusDelta& delta, double now);
    void enforceSeedLimits();
    void settingsChain();
    void applyEngineSettings();
    void applyTrackers();
    void applyBans();
    void observeMemoryPressure();
    std::expected<void, EngineError> saveSettingsNow();
    std::expected<void, EngineError> saveMetaNow();
    void retryUnsaved();
    void tellStartFindings();
    std::string engineSettingsText() const;
    // Runs `job` on the engine queue with the session and hands its result to `done` on the
    // main thread unless the engine is gone.
    template <class T>
    void onQueue(std::function<T(tb_session*)> job, std::function<void(T)> done) {
        onQueue<T>(*m_queue, std::move(job), std::move(done));
    }
    template <class T>
    void onQueue(SerialQueue& queue, std::function<T(tb_session*)> job,
                 std::function<void(T)> done);

    std::filesystem::path m_dataFolder;
    std::shared_ptr<SystemProbe> m_probe;
    Options m_options;

    std::vector<TorrentStatus> m_torrents;
    std::uint64_t m_torrentsRevision = 0;
    TorrentsChange m_lastChange;
    SessionInfo m_sessionInfo;
    bool m_restoring = true;
    AppSettings m_settings;
    TorrentMetaMap m_meta;
    std::optional<std::string> m_toast;
    std::optional<std::string> m_trackerFetchStatus;
    std::vector<std::string> m_pendingOpen;
    std::optional<std::string> m_focusRequest;

    tb_session* m_session = nullptr;
    std::unique_ptr<SerialQueue> m_queue;
    std::unique_ptr<SerialQueue> m_streamQueue;
    // Used on the engine queue only.
    std::shared_ptr<StatusDecoder> m_statusDecoder = std::make_shared<StatusDecoder>();
    // Each published torrent's place in m_torrents, and the ids of those
    // being hash-checked right now (their speed moves without a new row).
    // Keyed by views of the ids in m_torrents (made again whenever it is replaced).
    std::unordered_map<std::string_view, size_t> m_positions;
    std::unordered_set<std::string> m_activeChecks;
    QTimer m_timer;
    double m_pollInterval = 0;
    std::optional<double> m_lastTimerTick;
    double m_lastInterfaceDelay = -1e300;
    bool m_pollInFlight = false;
    bool m_pollAgain = false;

    CheckingProgressEstimator m_checkingProgress;
    CheckingResources::Hardware m_checkingHardware;
    CheckingResourceController m_checkingController;
    CheckingLoadSampler m_checkingLoad;
    QTimer m_memoryPressureTimer;
    int m_memoryPressure = 0;
    bool m_checkingPlaybackActive = false;
    double m_lastResourceSample = 0;
    double m_otherBusyCores = 0;

    QTimer m_saveSettingsTimer;
    // Since the first change not yet in "settings.json": a stream of changes
    // is saved at least every two seconds.
    QElapsedTimer m_settingsUnsaved;
    QTimer m_saveMetaTimer;
    FileCheck m_settingsCheck;
    FileCheck m_metaCheck;
    struct Unsaved {
        std::function<std::error_code()> write;
    };
    std::map<std::string, Unsaved> m_unsaved;
    QElapsedTimer m_sinceRetry;
    std::vector<std::string> m_startFindings;
    bool m_startTold = false;
    double m_lastStateSave = 0; // monotonic seconds
    std::string m_appliedSettings;
    std::string m_appliedTrackers;
    std::string m_appliedBans;
    bool m_isShutDown = false;
    struct CachedPieceMap {
        double fetched = 0;
        double used = 0;
        PieceMap map;
        // The published row when it was asked for.
        std::optional<TorrentStatus> row;
    };
    std::map<std::string, CachedPieceMap> m_pieceMapCache;
    double m_lastPieceMapSweep = 0;
    PollTimings m_lastPollTimings;
    TrackerListFetcher* m_fetcher = nullptr;
};

template <class T>
inline void TorrentEngine::onQueue(SerialQueue& queue, std::function<T(tb_session*)> job,
                                   std::function<void(T)> done) {
    // The result crosses threads through Qt's event queue; the atomic flag
    // makes that hand-off explicit (and visible to thread checkers).
    struct Box {
        T value;
        std::atomic<bool> ready{false};
    };
    QPointer<TorrentEngine> self(this);
    tb_session* session = m_session;
    queue.post([self, session, job = std::move(job), done = std::move(done)]() mutable {
        auto box = std::make_shared<Box>();
        box->value = job(session);
        box->ready.store(true, std::memory_order_release);
        if (!QCoreApplication::instance())
            return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, box, done = std::move(done)] {
                if (!box->ready.load(std::memory_order_acquire))
                    return;
                if (self && done)
                    done(std::move(box->value));
            },
            Qt::QueuedConnection);
    });
}

} // namespace tevro
