#pragma once

// One running bridge session: the libtorrent session, its alert thread, the
// registered torrents with their state files, events, bans, the piece-read
// cache and the streaming readers. Behind every tb_* call that takes a session.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/alert.hpp>
#include <libtorrent/alert_types.hpp>
#include <libtorrent/session.hpp>
#include <libtorrent/session_params.hpp>
#include <libtorrent/torrent_handle.hpp>
#include <libtorrent/torrent_status.hpp>

#include "tevro/bridge/event_queue.h"
#include "tevro/bridge/hash_index.h"
#include "tevro/bridge/torrent_rec.h"
#include "tevro/bridge/tracker_rule.h"

struct tb_reader;

namespace tevro {
class SerialQueue;
}

namespace libtorrent {
struct add_torrent_alert;
}

namespace lt = libtorrent;

namespace tevro::bridge {

struct AddOptions;
class FileWatch;
class PieceCache;
class ReaderRegistry;
class StatusRows;

class Session {
public:
    explicit Session(std::string stateDir);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Creates the folders, loads the DHT state, starts the library session
    // with the settings text, restores saved torrents and starts the alert thread.
    void start(const char* settings);
    // Stops the alert thread and the readers, saves resume data (at most 10 s)
    // and the DHT state, and tears the library down (at most 3 s waited).
    void shutDown();

    void applySettings(const char* text);
    void saveState();

    // Result of an add: the id, or none with an error text; "duplicate" comes
    // with the id of the torrent already in the session.
    struct Added {
        std::optional<std::string> id;
        std::string error;
    };
    Added addTorrentFile(const char* path, const char* options);
    Added addMagnet(const char* uri, const char* options);
    bool remove(const std::string& id, bool deleteFiles);
    bool action(const std::string& id, std::string_view name);
    // Clears what a full disk left: the latch, and libtorrent's upload mode,
    // which would keep the torrent from writing for good. State lock held.
    void clearDiskFull(const std::string& id, TorrentRec& rec);
    bool setFilePriorities(const std::string& id, const int* indices, int count, int priority);
    bool setLimits(const std::string& id, int down, int up, int connections, int slots);
    bool addTrackers(const std::string& id, std::string_view urls);
    bool moveStorage(const std::string& id, const std::string& path);
    void setExtraTrackers(std::string_view urls, bool mirror);
    void setBannedClients(std::string_view patterns);

    std::string statusJson();
    // The same report when it differs from the one of `revision`, which it
    // then advances; nothing when it is the same (an idle library).
    // Hands the report to `take`, under the state lock, unless its revision is
    // `revision`; false then.
    bool statusJsonSince(std::uint64_t& revision,
                         const std::function<void(std::string_view)>& take);
    std::string filesJson(const std::string& id);
    std::string peersJson(const std::string& id);
    std::string trackersJson(const std::string& id);
    std::string diagnosticsJson();
    std::string pieces(const std::string& id, int file);
    std::string pieceStates(const std::string& id);
    std::string pollEvents();

    tb_reader* openReader(const std::string& id, int file);
    void prefetch(const std::string& id, int file, std::int64_t span, double fraction);
    double streamProgress(const std::string& id, int file);
    bool streamWaiting(const std::string& id, int file);

private:
    using Clock = std::chrono::steady_clock;

    // Registration and the state folder (session_torrents.cpp).
    // The saved torrents come back on a thread of their own, added without
    // waiting and registered as libtorrent answers, so that the start does
    // not grow with the library.
    struct RestoredAdd {
        std::string fileName, id, name;
        std::set<int> expected; // the presence file's set when there is one
        bool presenceSaved = false;
        lt::sha1_hash hash;                       // to find it should libtorrent's answer be lost
        std::vector<TrackerEntry> trackers;       // as the handle will list them
        int downloadLimit = -1, uploadLimit = -1; // as the handle will tell them
        bool finished = false;                    // every wanted piece was saved as had
    };
    // Lists the resume folder and clears what a crash left; the resume files.
    std::vector<std::string> savedResumeFiles();
    void restoreSaved(std::vector<std::string> names);
    // False when the file gave no add (damaged, set aside).
    bool restoreOne(const std::string& fileName);
    // Returns once torrent `id` is restored or given up, when its saved file
    // is still to come (at once otherwise), so that a command on it acts on
    // the torrent rather than finding none. Never on the alert thread.
    void awaitRestored(const std::string& id);
    void restoreDone(const std::string& fileName);
    void restoredAdded(const lt::add_torrent_alert& alert);
    void finishRestoredAdd(RestoredAdd& add, const lt::torrent_handle& handle,
                           const lt::error_code& error,
                           const lt::add_torrent_params* params = nullptr);
    // The next five run with m_stateMutex held.
    // With `restored`, what the handle would tell is taken from the saved
    // parameters it was added with.
    void remember(const lt::torrent_handle& handle, const std::string& id,
                  const std::set<int>& expected, const lt::add_torrent_params* restored = nullptr,
                  bool presenceSaved = false, const std::vector<TrackerEntry>* trackers = nullptr);
    // The missing-file rule for one torrent; it also watches the torrent's
    // complete files, so that the scan looks at it again only when one of
    // them may have gone (or when filesDue() says so).
    void checkFiles(const std::string& id, TorrentRec& rec);
    // The torrent's files may have changed (pieces passed, a check ended,
    // new priorities or a new place): the next scan runs the rule on it.
    void filesDue(const lt::torrent_handle& handle);
    bool resetMissing(const std::string& id, TorrentRec& rec);
    // With `trackers`, the torrent's list is taken to be those.
    void applyTrackers(const std::string& id, TorrentRec& rec,
                       const lt::add_torrent_params* restored = nullptr,
                       const std::vector<TrackerEntry>* trackers = nullptr);
    // The torrent's row must be made again: it is new, or a value of its
    // record the row shows changed. State lock held.
    void touch(const std::string& id) { m_touched.insert(id); }
    void savePresence(const std::string& id, const TorrentRec& rec);
    void scanFiles();
    void scanBannedPeers();
    // The handle of a registered torrent whose handle is valid.
    std::optional<lt::torrent_handle> handleOf(const std::string& id);
    // The id of a registered handle, "" when none; m_stateMutex held.
    std::string idOf(const lt::torrent_handle& handle) const;
    Added add(lt::add_torrent_params params, const AddOptions& options);

    // Alerts and resume data (session_alerts.cpp).
    void alertLoop();
    void handleAlert(lt::alert* alert);
    void handleFileError(const lt::alert* alert);
    // A torrent's write failed for want of space: stop it and say so once.
    // State lock held.
    void stopForFullDisk(const std::string& id, TorrentRec& rec, const std::string& name);
    bool requestResume(const lt::torrent_handle& handle, lt::resume_data_flags_t flags);
    // Writes a save's answer unless the torrent has gone; on m_resumeWrites.
    void writeResume(const lt::torrent_handle& handle, const lt::add_torrent_params& params);
    void resumeAnswered(const lt::torrent_handle& handle);
    // A state update's statuses, for the next status report.
    void takeStateUpdate(lt::state_update_alert& update);
    void writeSessionState();
    // "session.state" as saved, or nothing when it is missing or damaged (then
    // set aside and reported, or left alone when it cannot be read).
    lt::session_params readSessionState();

    // Writes of the state folder. A failed one queues "save_failed" once and
    // is tried again every few seconds until it succeeds; `key` names the
    // file ("resume:<id>", "presence:<id>", "state"). Returns success.
    bool writeStateFile(const std::string& key, const std::string& path, std::string_view bytes,
                        const std::string& id, const std::string& name);
    // The same bookkeeping for a write done elsewhere; state lock held.
    void noteWrite(const std::string& key, const std::error_code& error, const std::string& id,
                   const std::string& name);
    void retryUnsavedFiles();
    // A file of the state folder that is there but not valid: moved aside and
    // reported ("set_aside"); with `readable` false it is left in place and
    // never written. State lock held.
    void reportDamaged(const std::string& path, const std::string& id, const std::string& name,
                       const std::string& what, bool readable, const std::string& reason);

    const std::string m_dir;
    std::unique_ptr<lt::session> m_session;
    std::thread m_alertThread;
    std::atomic<bool> m_stop{false};

    // The restore: true until every saved torrent is in (or given up).
    std::thread m_restoreThread;
    std::atomic<bool> m_restoring{false};
    std::mutex m_restoreMutex;
    std::condition_variable m_restoreSignal;
    // Adds asked and not answered yet, and answers being registered.
    std::map<RestoredAdd*, std::unique_ptr<RestoredAdd>> m_restoreAdds;
    int m_restoreBusy = 0;
    // Ids of saved files not restored yet, and those commands wait for.
    std::set<std::string> m_restorePending;
    std::deque<std::string> m_restoreFirst;

    // Held across the "still registered?" check and the write of a resume
    // file, and across a removal: a late save never brings a removed torrent's
    // resume file back. Taken before m_stateMutex, never inside it.
    std::mutex m_fileMutex;

    // The state lock.
    mutable std::mutex m_stateMutex;
    std::map<std::string, TorrentRec> m_torrents;
    std::unordered_map<lt::torrent_handle, std::string> m_ids; // fixed at registration
    HashIndex m_hashIndex;                                     // kept by remember() and remove()
    std::vector<std::string> m_extraTrackers;
    bool m_mirror = true;
    std::vector<std::string> m_bannedPatterns;
    std::set<std::string> m_bannedAddresses;
    EventQueue m_events;
    std::vector<std::string> m_listening;
    std::vector<std::string> m_listenErrors;
    std::string m_externalIP;
    std::string m_portmap;
    std::int64_t m_dhtNodes = 0;
    bool m_incoming = false;
    std::vector<std::int64_t> m_counters;
    std::optional<Clock::time_point> m_sampleTime;
    std::set<int> m_namedSettings;      // what the last settings text set
    std::unique_ptr<FileWatch> m_watch; // the complete files' folders
    std::set<std::string> m_filesDue;   // ids the next file scan looks at

    // State-folder files whose last write failed (keys of writeStateFile),
    // and those that could not be read at start and are never written.
    std::set<std::string> m_unsaved;
    std::set<std::string> m_untouchable;

    // Alert thread only.
    std::optional<Clock::time_point> m_lastRetry;
    std::optional<Clock::time_point> m_lastBanScan;
    std::optional<Clock::time_point> m_lastFileScan;

    // The status report's rows as last written; under the state lock.
    std::unique_ptr<StatusRows> m_statusRows;
    // What changed since (session_reports.cpp), under the state lock: the
    // library's latest status of each torrent in a state update, the
    // requests for one and the alerts that answered them, when every
    // torrent was asked once and when the counting ones were last asked.
    std::unordered_map<std::string, lt::torrent_status> m_statusUpdates;
    std::uint64_t m_statusUpdatesAsked = 0;
    std::uint64_t m_statusUpdatesTaken = 0;
    std::condition_variable m_statusUpdated;
    bool m_wholeStatusAsked = false;
    std::optional<Clock::time_point> m_lastCountingStatus;
    // Torrents a status showed needing a resume save since the minute's
    // save, and whether a report took the library's changes since then:
    // if not, that save asks about every torrent.
    std::unordered_set<std::string> m_saveDue;
    bool m_reportedSinceSave = false;
    // The report's revision: it moves when a row or the session's part
    // changed. Each row changed or gone is logged with the revision that
    // first shows it, so that a caller at an earlier one is given only
    // those rows; one at or before the horizon is given every row.
    std::uint64_t m_statusRevision = 0;
    std::vector<std::pair<std::uint64_t, std::string>> m_rowLog;
    std::uint64_t m_logHorizon = 0;
    // Torrents whose rows must be made again (registered, or a value of
    // their record the row shows was edited): an idle poll need not look
    // at every record.
    std::unordered_set<std::string> m_touched;
    std::string m_lastSessionPart;
    // Brings the rows and the revision up to date; state lock not held.
    void refreshStatus();
    // A row changed or went since the report of the current revision. State lock held.
    void logRow(const std::string& id) { m_rowLog.emplace_back(m_statusRevision + 1, id); }
    // The whole report, or the rows changed since `since`; state lock held.
    std::string wholeReport();
    std::string deltaReport(std::uint64_t since);
    // The report's "session" object; state lock held.
    std::string sessionPart(bool restoring) const;

    std::shared_ptr<PieceCache> m_pieces;
    std::shared_ptr<ReaderRegistry> m_readers;

    // The save-count lock: resume requests not yet answered, per torrent, and
    // at shutdown the answers still awaited for the shutdown's own requests.
    std::mutex m_saveMutex;
    std::condition_variable m_saveSignal;
    std::map<lt::torrent_handle, int> m_savesInFlight;
    std::map<lt::torrent_handle, int> m_shutdownSkips; // earlier answers to let pass first
    int m_pendingSaves = 0;
    // The resume files' writes, in the order libtorrent answered; cut at
    // shutdown once its wait is over.
    std::unique_ptr<SerialQueue> m_resumeWrites;
    std::atomic<bool> m_resumeWritesCut{false};
};

} // namespace tevro::bridge

// The C interface's opaque session handle.
struct tb_session final : tevro::bridge::Session {
    using Session::Session;
};
