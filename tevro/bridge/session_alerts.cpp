// The alert thread: libtorrent's alerts turned into events, diagnostics,
// resume files and piece-cache deliveries; the periodic file and ban scans.

#include "tevro/bridge/session.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

#include <boost/asio/error.hpp>

#include <libtorrent/alert_types.hpp>
#include <libtorrent/operations.hpp>
#include <libtorrent/session_stats.hpp>
#include <libtorrent/write_resume_data.hpp>

#include "tevro/bridge/piece_cache.h"
#include "tevro/bridge/reader_registry.h"
#include "tevro/bridge/resume_equivalence.h"
#include "tevro/bridge/state_files.h"
#include "tevro/bridge/stream_reader.h"
#include "tevro/core/file_check.h"
#include "tevro/core/serial_queue.h"

namespace tevro::bridge {

using namespace std::chrono_literals;

namespace {

// Looked up once per process.
struct Metrics {
    int dhtNodes = lt::find_metric_idx("dht.dht_nodes");
    int incoming = lt::find_metric_idx("net.has_incoming_connections");
};

const Metrics& metrics() {
    static const Metrics m;
    return m;
}

bool due(std::optional<std::chrono::steady_clock::time_point>& last,
         std::chrono::nanoseconds interval) {
    auto now = std::chrono::steady_clock::now();
    if (last && now - *last <= interval)
        return false;
    last = now;
    return true;
}

} // namespace

void Session::alertLoop() {
    std::vector<lt::alert*> alerts;
    while (!m_stop) {
        // An idle session's thread wakes for the next file scan, not three
        // times a second; a hold waiting out its grace is looked at sooner.
        std::chrono::nanoseconds wait = 300ms;
        if (m_lastFileScan && m_readers->hold().empty())
            wait = std::clamp<std::chrono::nanoseconds>(
                *m_lastFileScan + 1s + 1ms - std::chrono::steady_clock::now(), 1ms, 1s);
        m_session->wait_for_alert(wait);
        m_session->pop_alerts(&alerts);
        for (lt::alert* a : alerts) {
            try {
                handleAlert(a);
            } catch (const std::exception&) {
                // One bad alert never stops the thread.
            }
        }
        try {
            m_readers->hold().expire(std::chrono::steady_clock::now());
            if (due(m_lastFileScan, 1s))
                scanFiles();
            if (due(m_lastRetry, 5s))
                retryUnsavedFiles();
            if (due(m_lastBanScan, 15s))
                scanBannedPeers();
        } catch (const std::exception&) {
        }
    }
}

void Session::writeResume(const lt::torrent_handle& handle, const lt::add_torrent_params& params) {
    if (!m_resumeWritesCut) {
        std::lock_guard files(m_fileMutex);
        std::string id;
        bool mayStand = false;
        {
            std::lock_guard lock(m_stateMutex);
            id = idOf(handle);
            if (auto it = m_torrents.find(id); it != m_torrents.end())
                mayStand = std::exchange(it->second.savedMayStand, false);
        }
        if (!id.empty()) {
            std::vector<char> buf = lt::write_resume_data_buf(params);
            std::string path = state_files::resumePath(m_dir, id);
            std::string_view fresh(buf.data(), buf.size());
            // A start finds most of a large library as it was saved: one
            // synced write each would keep the disk busy long after.
            if (mayStand && restoresTheSame(state_files::readWhole(path), fresh)) {
                std::lock_guard lock(m_stateMutex);
                noteWrite("resume:" + id, {}, id, "");
            } else {
                writeStateFile("resume:" + id, path, fresh, id,
                               params.ti ? params.ti->name() : params.name);
            }
        }
    }
    resumeAnswered(handle);
}

bool Session::requestResume(const lt::torrent_handle& handle, lt::resume_data_flags_t flags) {
    {
        std::lock_guard lock(m_saveMutex);
        ++m_savesInFlight[handle];
    }
    try {
        handle.save_resume_data(flags);
        return true;
    } catch (const std::exception&) {
        resumeAnswered(handle);
        return false;
    }
}

void Session::resumeAnswered(const lt::torrent_handle& handle) {
    std::lock_guard lock(m_saveMutex);
    if (auto it = m_savesInFlight.find(handle); it != m_savesInFlight.end() && --it->second < 1)
        m_savesInFlight.erase(it);
    auto awaited = m_shutdownSkips.find(handle);
    if (awaited == m_shutdownSkips.end())
        return;
    if (awaited->second > 0) {
        --awaited->second;
        return;
    }
    m_shutdownSkips.erase(awaited);
    if (m_pendingSaves > 0)
        --m_pendingSaves;
    m_saveSignal.notify_all();
}

void Session::handleAlert(lt::alert* alert) {
    switch (alert->type()) {
    case lt::state_update_alert::alert_type:
        takeStateUpdate(*static_cast<lt::state_update_alert*>(alert));
        break;

    case lt::piece_finished_alert::alert_type:
        m_pieces->wakeAll();
        m_readers->hold().pieceFinished(static_cast<lt::piece_finished_alert*>(alert)->handle);
        filesDue(static_cast<lt::piece_finished_alert*>(alert)->handle);
        break;

    case lt::torrent_checked_alert::alert_type:
        // libtorrent says a check found everything before it says the check
        // ended: a restored torrent not found whole will tell its finish later.
        {
            std::lock_guard lock(m_stateMutex);
            auto it = m_torrents.find(idOf(static_cast<lt::torrent_alert*>(alert)->handle));
            if (it != m_torrents.end())
                it->second.finishedWhenSaved = false;
        }
        filesDue(static_cast<lt::torrent_alert*>(alert)->handle);
        break;
    case lt::file_renamed_alert::alert_type:
        filesDue(static_cast<lt::torrent_alert*>(alert)->handle);
        break;

    case lt::read_piece_alert::alert_type: {
        auto* a = static_cast<lt::read_piece_alert*>(alert);
        std::string id;
        {
            std::lock_guard lock(m_stateMutex);
            id = idOf(a->handle);
        }
        bool known = false;
        if (!id.empty())
            known = m_pieces->deliver(id, static_cast<int>(a->piece), a->buffer, a->size,
                                      static_cast<bool>(a->error));
        else
            m_pieces->wakeAll();
        if (readerLogEnabled())
            std::fprintf(stderr, "read_piece_alert piece=%d size=%d error=%s known=%d\n",
                         static_cast<int>(a->piece), a->size,
                         a->error ? a->error.message().c_str() : "-", known ? 1 : 0);
        break;
    }

    case lt::save_resume_data_alert::alert_type: {
        auto* a = static_cast<lt::save_resume_data_alert*>(alert);
        // Each write waits for the disk: thousands of them (every torrent a
        // start has checked) would hold up every other alert.
        auto params = std::make_shared<lt::add_torrent_params>(std::move(a->params));
        auto write = [this, handle = a->handle, params] { writeResume(handle, *params); };
        if (!m_resumeWrites->post(write))
            write();
        break;
    }

    case lt::add_torrent_alert::alert_type:
        restoredAdded(*static_cast<lt::add_torrent_alert*>(alert));
        break;

    case lt::save_resume_data_failed_alert::alert_type:
        resumeAnswered(static_cast<lt::save_resume_data_failed_alert*>(alert)->handle);
        break;

    case lt::metadata_received_alert::alert_type: {
        auto* a = static_cast<lt::metadata_received_alert*>(alert);
        bool registered = false;
        {
            std::lock_guard lock(m_stateMutex);
            std::string id = idOf(a->handle);
            auto it = m_torrents.find(id);
            if (it != m_torrents.end()) {
                registered = true;
                TorrentRec& rec = it->second;
                try {
                    // The id stays; the new v2 hash only widens duplicate detection.
                    lt::info_hash_t now = a->handle.info_hashes();
                    if (now.has_v1())
                        rec.hashes.v1 = now.v1;
                    if (now.has_v2())
                        rec.hashes.v2 = now.v2;
                    m_hashIndex.add(id, rec.hashes);
                    applyTrackers(id, rec);
                } catch (const std::exception&) {
                }
                m_events.push("metadata", id, a->torrent_name(), "");
            }
        }
        if (registered)
            requestResume(a->handle, lt::torrent_handle::save_info_dict);
        break;
    }

    case lt::torrent_finished_alert::alert_type: {
        auto* a = static_cast<lt::torrent_finished_alert*>(alert);
        bool registered = false;
        {
            std::lock_guard lock(m_stateMutex);
            std::string id = idOf(a->handle);
            auto it = m_torrents.find(id);
            if (it != m_torrents.end()) {
                registered = true;
                // Saved now all the same: the quit then has nothing left to write.
                if (it->second.finishedWhenSaved) {
                    it->second.finishedWhenSaved = false;
                    it->second.savedMayStand = true;
                } else
                    m_events.push("finished", id, a->torrent_name(), "");
            }
        }
        if (registered)
            requestResume(a->handle, lt::torrent_handle::save_info_dict);
        break;
    }

    case lt::torrent_error_alert::alert_type: {
        auto* a = static_cast<lt::torrent_error_alert*>(alert);
        std::lock_guard lock(m_stateMutex);
        std::string id = idOf(a->handle);
        auto it = m_torrents.find(id);
        // Reading what a full disk never stored fails too ("Bad address"):
        // the full disk was said already.
        if (it != m_torrents.end() && it->second.diskFullText.empty())
            m_events.push("error", id, a->torrent_name(), a->error.message());
        break;
    }

    case lt::file_error_alert::alert_type:
        handleFileError(alert);
        break;

    case lt::storage_moved_alert::alert_type: {
        // The new save path must survive a restart.
        auto* a = static_cast<lt::storage_moved_alert*>(alert);
        bool registered = false;
        {
            std::lock_guard lock(m_stateMutex);
            registered = !idOf(a->handle).empty();
        }
        if (registered)
            requestResume(a->handle, lt::torrent_handle::save_info_dict);
        filesDue(a->handle);
        break;
    }

    case lt::storage_moved_failed_alert::alert_type: {
        auto* a = static_cast<lt::storage_moved_failed_alert*>(alert);
        std::string message = a->error.message();
        if (std::string path = a->file_path(); !path.empty())
            message += ": " + path;
        std::lock_guard lock(m_stateMutex);
        std::string id = idOf(a->handle);
        if (!id.empty())
            m_events.push("error", id, a->torrent_name(), message);
        break;
    }

    case lt::listen_succeeded_alert::alert_type: {
        auto* a = static_cast<lt::listen_succeeded_alert*>(alert);
        std::string text = a->socket_type == lt::socket_type_t::utp ? "uTP " : "TCP ";
        text += a->address.to_string() + ":" + std::to_string(a->port);
        std::lock_guard lock(m_stateMutex);
        m_listening.push_back(std::move(text));
        break;
    }

    case lt::listen_failed_alert::alert_type: {
        auto* a = static_cast<lt::listen_failed_alert*>(alert);
        std::string text =
            a->address.to_string() + ":" + std::to_string(a->port) + " " + a->error.message();
        std::lock_guard lock(m_stateMutex);
        m_listenErrors.push_back(text);
        m_events.push("listen_failed", "", "", std::move(text));
        break;
    }

    case lt::external_ip_alert::alert_type: {
        auto* a = static_cast<lt::external_ip_alert*>(alert);
        std::lock_guard lock(m_stateMutex);
        m_externalIP = a->external_address.to_string();
        break;
    }

    case lt::portmap_alert::alert_type: {
        auto* a = static_cast<lt::portmap_alert*>(alert);
        std::string text = a->map_transport == lt::portmap_transport::upnp ? "UPnP" : "NAT-PMP";
        text += " " + std::to_string(a->external_port);
        std::lock_guard lock(m_stateMutex);
        m_portmap = std::move(text);
        break;
    }

    case lt::session_stats_alert::alert_type: {
        auto* a = static_cast<lt::session_stats_alert*>(alert);
        auto counters = a->counters();
        int dht = metrics().dhtNodes;
        int incoming = metrics().incoming;
        std::lock_guard lock(m_stateMutex);
        m_counters.assign(counters.begin(), counters.end());
        if (dht >= 0 && dht < static_cast<int>(m_counters.size()))
            m_dhtNodes = m_counters[static_cast<std::size_t>(dht)];
        if (incoming >= 0 && incoming < static_cast<int>(m_counters.size()))
            m_incoming = m_counters[static_cast<std::size_t>(incoming)] != 0;
        m_sampleTime = Clock::now();
        break;
    }

    case lt::alerts_dropped_alert::alert_type: {
        auto* a = static_cast<lt::alerts_dropped_alert*>(alert);
        std::fprintf(stderr, "alerts dropped: %zu kinds\n", a->dropped_alerts.count());
        break;
    }

    default:
        break;
    }
}

void Session::handleFileError(const lt::alert* alert) {
    auto* a = static_cast<const lt::file_error_alert*>(alert);
    std::fprintf(stderr, "file error %s op=%s file=%s\n", a->error.message().c_str(),
                 lt::operation_name(a->op), a->filename());
    std::lock_guard lock(m_stateMutex);
    std::string id = idOf(a->handle);
    auto it = m_torrents.find(id);
    if (it == m_torrents.end())
        return;
    TorrentRec& rec = it->second;
    if (!rec.diskFullText.empty())
        return;
    if (a->error == boost::system::errc::no_space_on_device ||
        (a->error.category() == boost::system::generic_category() && a->error.value() == EDQUOT)) {
        stopForFullDisk(id, rec, a->torrent_name());
        return;
    }
    checkFiles(id, rec);
    if (!rec.missingText.empty())
        return;
    // The memory-mapped storage reports a read past the end of a file cut
    // short without naming the operation: that is a failed read too.
    bool readFailed = a->op == lt::operation_t::file_read ||
                      a->op == lt::operation_t::partfile_read ||
                      (a->op == lt::operation_t::unknown && a->error == boost::asio::error::eof);
    bool gone = a->error == boost::system::errc::no_such_file_or_directory ||
                a->error == boost::system::errc::not_a_directory;
    if (readFailed && !gone && rec.recheckAttempts < 3) {
        ++rec.recheckAttempts;
        try {
            rec.handle.clear_error();
            rec.handle.force_recheck();
            rec.handle.resume();
        } catch (const std::exception&) {
        }
        m_events.push("recheck", id, a->torrent_name(), "");
        return;
    }
    m_events.push("error", id, a->torrent_name(), a->error.message() + ": " + a->filename());
}

} // namespace tevro::bridge

namespace tevro::bridge {

void Session::stopForFullDisk(const std::string& id, TorrentRec& rec, const std::string& name) {
    std::string folder;
    try {
        folder = rec.handle.status(lt::torrent_handle::query_save_path).save_path;
    } catch (const std::exception&) {
    }
    touch(id);
    rec.diskFullText =
        "На диске нет места для «" + folder + "». Освободите место и возобновите загрузку.";
    // libtorrent has put it in upload mode, which the resume data keeps: a
    // restart finds it by that and lets it go on.
    try {
        rec.handle.unset_flags(lt::torrent_flags::auto_managed);
        rec.handle.pause();
    } catch (const std::exception&) {
    }
    m_pieces->forget(id);
    requestResume(rec.handle, lt::torrent_handle::save_info_dict);
    m_events.push("error", id, name, rec.diskFullText);
}

void Session::clearDiskFull(const std::string& id, TorrentRec& rec) {
    rec.diskFullText.clear();
    touch(id);
    try {
        rec.handle.unset_flags(lt::torrent_flags::upload_mode);
    } catch (const std::exception&) {
    }
}

bool Session::writeStateFile(const std::string& key, const std::string& path,
                             std::string_view bytes, const std::string& id,
                             const std::string& name) {
    {
        std::lock_guard lock(m_stateMutex);
        if (m_untouchable.count(key))
            return false;
    }
    std::error_code error;
    bool written = state_files::writeAtomically(path, bytes, &error);
    std::lock_guard lock(m_stateMutex);
    noteWrite(key, written ? std::error_code() : error, id, name);
    return written;
}

void Session::noteWrite(const std::string& key, const std::error_code& error, const std::string& id,
                        const std::string& name) {
    if (!error) {
        m_unsaved.erase(key);
        return;
    }
    std::fprintf(stderr, "cannot write %s in %s: %s\n", key.c_str(), m_dir.c_str(),
                 error.message().c_str());
    if (!m_unsaved.insert(key).second)
        return;
    std::string why = writeFailureText(error) + "; Tevro повторит запись";
    if (id.empty())
        m_events.push("save_failed", "", "", "Не удалось сохранить «session.state»: " + why);
    else
        m_events.push("save_failed", id, name.empty() ? id : name,
                      "не удалось сохранить состояние торрента: " + why);
}

void Session::retryUnsavedFiles() {
    std::vector<lt::torrent_handle> resume;
    bool state = false;
    {
        std::lock_guard lock(m_stateMutex);
        // A copy: a presence file written now leaves the set.
        for (const std::string& key : std::set<std::string>(m_unsaved)) {
            auto colon = key.find(':');
            std::string id = colon == std::string::npos ? "" : key.substr(colon + 1);
            auto it = m_torrents.find(id);
            if (key == "state")
                state = true;
            else if (it == m_torrents.end())
                m_unsaved.erase(key);
            else if (key.starts_with("resume:"))
                resume.push_back(it->second.handle);
            else if (key.starts_with("presence:"))
                savePresence(id, it->second);
        }
    }
    for (const auto& h : resume)
        requestResume(h, lt::torrent_handle::save_info_dict);
    if (state)
        writeSessionState();
}

void Session::reportDamaged(const std::string& path, const std::string& id, const std::string& name,
                            const std::string& what, bool readable, const std::string& reason) {
    std::string subject = id.empty()     ? "«session.state»"
                          : name.empty() ? "торрент " + id
                                         : "торрент «" + name + "»";
    std::string text;
    if (!readable) {
        m_untouchable.insert(id.empty() ? "state" : "resume:" + id);
        text = subject + ": " + what + " не читается (" + reason + ") и оставлен как есть";
    } else if (auto copy = setAsideFile(path)) {
        text = subject + ": " + what + " повреждён (" + reason + "), оригинал сохранён как «" +
               copy->filename().string() + "»";
    } else {
        m_untouchable.insert(id.empty() ? "state" : "resume:" + id);
        text = subject + ": " + what + " повреждён (" + reason + ") и оставлен как есть";
    }
    if (!id.empty())
        text += "; торрент не восстановлен";
    m_events.push("set_aside", id, name, text);
}

} // namespace tevro::bridge
