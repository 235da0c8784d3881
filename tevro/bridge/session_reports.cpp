// The JSON reports and piece strings of a session.

#include "tevro/bridge/session.h"

#include <libtorrent/announce_entry.hpp>
#include <libtorrent/peer_info.hpp>
#include <libtorrent/session_stats.hpp>
#include <libtorrent/torrent_info.hpp>
#include <libtorrent/torrent_status.hpp>

#include "tevro/bridge/json_writer.h"
#include "tevro/bridge/piece_span.h"
#include "tevro/bridge/status_rows.h"
#include "tevro/bridge/tracker_fold.h"
#include "tevro/bridge/tracker_rule.h"

namespace tevro::bridge {

namespace {

const char* stateName(lt::torrent_status::state_t s) {
    switch (s) {
    case lt::torrent_status::checking_files:
    case lt::torrent_status::checking_resume_data:
        return "checking";
    case lt::torrent_status::downloading_metadata:
        return "metadata";
    case lt::torrent_status::downloading:
        return "downloading";
    case lt::torrent_status::finished:
        return "finished";
    case lt::torrent_status::seeding:
        return "seeding";
    default:
        return "unknown";
    }
}

bool has(const lt::torrent_status& st, lt::torrent_flags_t flag) {
    return static_cast<bool>(st.flags & flag);
}

std::string errorText(const lt::torrent_status& st) {
    if (!st.errc)
        return {};
    std::string text = st.errc.message();
    int file = static_cast<int>(st.error_file);
    if (file >= 0 && st.has_metadata) {
        try {
            if (auto ti = st.handle.torrent_file(); ti && file < ti->num_files())
                text += ": " + std::string(ti->files().file_name(lt::file_index_t(file)));
        } catch (const std::exception&) {
        }
    }
    return text;
}

std::string peerSource(lt::peer_source_flags_t source) {
    static const std::pair<lt::peer_source_flags_t, const char*> kWords[] = {
        {lt::peer_info::tracker, "tracker"},
        {lt::peer_info::dht, "dht"},
        {lt::peer_info::pex, "pex"},
        {lt::peer_info::lsd, "lsd"},
        {lt::peer_info::resume_data, "resume"},
        {lt::peer_info::incoming, "incoming"}};
    std::string out;
    for (const auto& [flag, word] : kWords) {
        if (!(source & flag))
            continue;
        if (!out.empty())
            out += ' ';
        out += word;
    }
    return out;
}

} // namespace

namespace {

constexpr lt::status_flags_t kStatusFlags = lt::torrent_handle::query_distributed_copies |
                                            lt::torrent_handle::query_name |
                                            lt::torrent_handle::query_save_path;

// The torrents that are not paused are asked again this often: the times
// they count up, which no state update reports.
constexpr auto kCountingStatusEvery = std::chrono::seconds(60);
// A state update not back by then is taken for lost: every torrent is asked.
constexpr auto kStateUpdateWait = std::chrono::milliseconds(500);
// More torrents than this without a row are asked for in one whole query.
constexpr std::size_t kSingleQueries = 32;

StatusRows::Source sourceOf(const TorrentRec& rec) {
    return {rec.missingText, rec.diskFullText, rec.isPrivate, rec.downloadLimit, rec.uploadLimit};
}

StatusRows::Values valuesOf(lt::torrent_status& st, const TorrentRec& rec) {
    bool missing = !rec.missingText.empty();
    StatusRows::Values v;
    v.name = std::move(st.name);
    v.state = missing ? "missing" : stateName(st.state);
    v.paused = has(st, lt::torrent_flags::paused);
    v.autoManaged = has(st, lt::torrent_flags::auto_managed);
    v.sequential = has(st, lt::torrent_flags::sequential_download);
    v.isPrivate = rec.isPrivate;
    v.hasMetadata = st.has_metadata;
    v.finished = st.is_finished && !missing;
    v.seeding = st.is_seeding && !missing;
    v.moving = st.moving_storage;
    v.progress = st.progress;
    // libtorrent leaves the byte count of a seed at 0; all of it is on disk.
    v.total = st.total == 0 && st.has_metadata ? st.total_done : st.total;
    v.totalDone = st.total_done;
    v.wanted = st.total_wanted;
    v.wantedDone = st.total_wanted_done;
    v.downloadRate = st.download_payload_rate;
    v.uploadRate = st.upload_payload_rate;
    v.peers = st.num_peers - st.num_seeds;
    v.seeds = st.num_seeds;
    v.swarmPeers = st.num_incomplete;
    v.swarmSeeds = st.num_complete;
    v.connectCandidates = st.connect_candidates;
    v.uploaded = st.all_time_upload;
    v.downloaded = st.all_time_download;
    v.added = st.added_time;
    v.completed = st.completed_time;
    v.activeTime = st.active_duration.count();
    v.seedingTime = st.seeding_duration.count();
    v.downloadLimit = rec.downloadLimit;
    v.uploadLimit = rec.uploadLimit;
    v.connectionsLimit = st.connections_limit;
    v.uploadsLimit = st.uploads_limit;
    v.queue = static_cast<int>(st.queue_position);
    v.pieces = st.num_pieces;
    v.availability = st.distributed_copies;
    v.savePath = std::move(st.save_path);
    v.tracker = std::move(st.current_tracker);
    v.error = missing                     ? rec.missingText
              : !rec.diskFullText.empty() ? rec.diskFullText
                                          : errorText(st);
    return v;
}

} // namespace

void Session::takeStateUpdate(lt::state_update_alert& update) {
    std::lock_guard lock(m_stateMutex);
    for (auto& st : update.status)
        if (std::string id = idOf(st.handle); !id.empty())
            m_statusUpdates.insert_or_assign(std::move(id), std::move(st));
    // One alert per request, in order; one lost and then found late must not
    // put the count ahead of the requests.
    m_statusUpdatesTaken = std::min(m_statusUpdatesTaken + 1, m_statusUpdatesAsked);
    m_statusUpdated.notify_all();
}

void Session::refreshStatus() {
    m_session->post_session_stats();
    // Only the torrents whose status changed: the library lists them in a
    // state update, which the alert thread hands over. Every torrent is
    // asked when the rows are new and when an update is lost; the ones not
    // paused once a minute besides, for their counted times.
    bool whole = false;
    bool counting = false;
    {
        std::unique_lock lock(m_stateMutex);
        auto now = Clock::now();
        whole = !m_wholeStatusAsked || m_stop;
        counting = !m_lastCountingStatus || now - *m_lastCountingStatus >= kCountingStatusEvery;
        if (!whole) {
            std::uint64_t ticket = ++m_statusUpdatesAsked;
            lock.unlock();
            m_session->post_torrent_updates(kStatusFlags);
            lock.lock();
            if (!m_statusUpdated.wait_for(
                    lock, kStateUpdateWait,
                    [&] { return m_statusUpdatesTaken >= ticket || m_stop; }) ||
                m_stop) {
                m_statusUpdatesTaken = m_statusUpdatesAsked;
                whole = true;
            }
        }
    }
    if (whole) {
        std::vector<lt::torrent_status> all = m_session->get_torrent_status(
            [](const lt::torrent_status&) { return true; }, kStatusFlags);
        std::lock_guard lock(m_stateMutex);
        m_wholeStatusAsked = true;
        m_lastCountingStatus = Clock::now();
        for (auto& st : all)
            if (std::string id = idOf(st.handle); !id.empty())
                m_statusUpdates.insert_or_assign(std::move(id), std::move(st));
    } else if (counting) {
        // Asked by handle: the library then makes no status of the paused
        // thousands a large library mostly holds.
        std::vector<lt::torrent_status> running;
        {
            std::lock_guard lock(m_stateMutex);
            for (const auto& [id, rec] : m_torrents)
                if (rec.counting) {
                    running.emplace_back();
                    running.back().handle = rec.handle;
                }
        }
        m_session->refresh_torrent_status(&running, kStatusFlags);
        std::lock_guard lock(m_stateMutex);
        m_lastCountingStatus = Clock::now();
        for (auto& st : running)
            if (std::string id = st.handle.is_valid() ? idOf(st.handle) : std::string();
                !id.empty())
                m_statusUpdates.insert_or_assign(std::move(id), std::move(st));
    }
    {
        std::lock_guard lock(m_stateMutex);
        m_reportedSinceSave = true;
    }

    // Torrents with neither a new status nor a row still right for their
    // record (new ones, or the session's own values changed): asked one by one.
    std::vector<std::pair<std::string, lt::torrent_handle>> unknown;
    // Read before the torrents are: one registered later has no row in this
    // report, which then must not say the restore is over.
    bool restoring = true;
    {
        std::lock_guard lock(m_stateMutex);
        restoring = m_restoring;
        if (m_statusUpdates.empty() && m_touched.empty() && m_statusRevision > 0 &&
            (m_rowLog.empty() || m_rowLog.back().first <= m_statusRevision) &&
            sessionPart(restoring) == m_lastSessionPart)
            return;
        for (const std::string& id : m_touched) {
            auto it = m_torrents.find(id);
            if (it != m_torrents.end() && !m_statusUpdates.contains(id) &&
                !m_statusRows->kept(it->second.row, id, sourceOf(it->second)))
                unknown.emplace_back(id, it->second.handle);
        }
    }
    std::vector<std::pair<std::string, lt::torrent_status>> asked;
    if (unknown.size() > kSingleQueries) {
        for (auto& st : m_session->get_torrent_status(
                 [](const lt::torrent_status&) { return true; }, kStatusFlags))
            asked.emplace_back(std::string(), std::move(st));
    } else {
        for (auto& [id, h] : unknown) {
            try {
                asked.emplace_back(std::move(id), h.status(kStatusFlags));
            } catch (const std::exception&) {
            }
        }
    }

    std::lock_guard lock(m_stateMutex);
    for (auto& [id, st] : asked) {
        if (id.empty())
            id = idOf(st.handle);
        // A state update that came meanwhile is newer.
        if (!id.empty())
            m_statusUpdates.try_emplace(std::move(id), std::move(st));
    }
    // The rows first: the session's rates are their sums. A touched torrent
    // without a new status keeps its mark until it has one.
    for (auto it = m_touched.begin(); it != m_touched.end();) {
        auto rec = m_torrents.find(*it);
        if (rec == m_torrents.end()) {
            it = m_touched.erase(it);
        } else if (m_statusRows->kept(rec->second.row, *it, sourceOf(rec->second))) {
            rec->second.shown = sourceOf(rec->second);
            it = m_touched.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& [id, st] : m_statusUpdates) {
        auto it = m_torrents.find(id);
        if (it == m_torrents.end())
            continue; // between the library's add and our registration
        TorrentRec& rec = it->second;
        rec.shown = sourceOf(rec);
        rec.counting = !has(st, lt::torrent_flags::paused);
        if (st.need_save_resume)
            m_saveDue.insert(id);
        if (!rec.applied && st.has_metadata) {
            try {
                applyTrackers(id, rec);
            } catch (const std::exception&) {
            }
            rec.shown = sourceOf(rec);
        }
        bool changed = false;
        m_statusRows->row(rec.row, id, valuesOf(st, rec), rec.shown, &changed);
        m_touched.erase(id);
        if (changed)
            logRow(id);
    }
    m_statusUpdates.clear();
    // Rows of torrents no longer there (never expected: a removal forgets its row).
    if (m_statusRows->size() > m_torrents.size())
        for (const auto& id :
             m_statusRows->eraseUnless([&](const std::string& id) { return m_torrents.contains(id); }))
            logRow(id);

    std::string part = sessionPart(restoring);
    const bool rowsChanged = !m_rowLog.empty() && m_rowLog.back().first > m_statusRevision;
    if (!rowsChanged && part == m_lastSessionPart && m_statusRevision > 0)
        return;
    m_lastSessionPart = std::move(part);
    ++m_statusRevision;
    // Nobody asked for the changes for long (only whole reports): the log
    // goes, and a caller behind is given every row.
    if (m_rowLog.size() > 2 * m_torrents.size() + 1024) {
        m_rowLog.clear();
        m_logHorizon = m_statusRevision;
    }
}

namespace {

// The rows, comma-separated, as the report's "torrents" array holds them.
void appendRows(std::string& out, const std::vector<const std::string*>& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i)
            out += ',';
        out += *rows[i];
    }
}

} // namespace

std::string Session::wholeReport() {
    std::vector<const std::string*> rows;
    rows.reserve(m_torrents.size());
    std::size_t size = m_lastSessionPart.size() + 32;
    for (auto& [id, rec] : m_torrents)
        if (const std::string* kept = m_statusRows->kept(rec.row, id, rec.shown)) {
            rows.push_back(kept);
            size += kept->size() + 1;
        }
    std::string out;
    out.reserve(size);
    out += "{\"session\":";
    out += m_lastSessionPart;
    out += ",\"torrents\":[";
    appendRows(out, rows);
    out += "]}";
    return out;
}

std::string Session::deltaReport(std::uint64_t since) {
    // Each id once, whatever number of times it changed.
    auto from = std::ranges::upper_bound(m_rowLog, since, {},
                                         [](const auto& entry) { return entry.first; });
    std::unordered_set<std::string_view> seen;
    std::vector<const std::string*> rows;
    std::vector<std::string_view> removed;
    std::size_t size = m_lastSessionPart.size() + 64;
    for (auto it = from; it != m_rowLog.end(); ++it) {
        const std::string& id = it->second;
        if (!seen.insert(id).second)
            continue;
        auto rec = m_torrents.find(id);
        const std::string* kept =
            rec == m_torrents.end() ? nullptr
                                    : m_statusRows->kept(rec->second.row, id, rec->second.shown);
        if (kept) {
            rows.push_back(kept);
            size += kept->size() + 1;
        } else if (rec == m_torrents.end()) {
            removed.push_back(id);
            size += id.size() + 3;
        }
    }
    std::string out;
    out.reserve(size);
    out += "{\"session\":";
    out += m_lastSessionPart;
    out += ",\"since\":";
    out += std::to_string(since);
    out += ",\"torrents\":[";
    appendRows(out, rows);
    out += "],\"removed\":";
    JsonWriter ids;
    ids.beginArray();
    for (std::string_view id : removed)
        ids.text(std::string(id));
    ids.endArray();
    out += ids.take();
    out += '}';
    return out;
}

std::string Session::sessionPart(bool restoring) const {
    JsonWriter w;
    w.beginObject();
    w.key("download").integer(m_statusRows->downloadRate());
    w.key("upload").integer(m_statusRows->uploadRate());
    w.key("dhtNodes").integer(m_dhtNodes);
    w.key("incoming").boolean(m_incoming);
    w.key("externalIP").text(m_externalIP);
    w.key("portmap").text(m_portmap);
    w.key("banned").integer(static_cast<std::int64_t>(m_bannedAddresses.size()));
    w.key("restoring").boolean(restoring);
    w.key("listening").beginArray();
    for (const auto& s : m_listening)
        w.text(s);
    w.endArray();
    w.key("listenErrors").beginArray();
    for (const auto& s : m_listenErrors)
        w.text(s);
    w.endArray();
    w.endObject();
    return w.take();
}

std::string Session::statusJson() {
    refreshStatus();
    std::lock_guard lock(m_stateMutex);
    return wholeReport();
}

bool Session::statusJsonSince(std::uint64_t& revision,
                              const std::function<void(std::string_view)>& take) {
    refreshStatus();
    std::lock_guard lock(m_stateMutex);
    if (revision == m_statusRevision)
        return false;
    // A caller at a revision the log still covers is given the rows changed
    // since; any other, every row.
    const bool delta = revision > 0 && revision >= m_logHorizon && revision < m_statusRevision;
    take(delta ? deltaReport(revision) : wholeReport());
    revision = m_statusRevision;
    // The log is kept for the last caller: one behind it is given every row.
    std::erase_if(m_rowLog, [&](const auto& entry) { return entry.first <= revision; });
    m_logHorizon = revision;
    return true;
}

std::string Session::filesJson(const std::string& id) {
    auto h = handleOf(id);
    if (!h)
        return "[]";
    try {
        auto ti = h->torrent_file();
        if (!ti)
            return "[]";
        std::vector<std::int64_t> progress;
        h->file_progress(progress);
        std::vector<lt::download_priority_t> priorities = h->get_file_priorities();
        const lt::file_storage& fs = ti->files();
        JsonWriter w;
        w.beginArray();
        for (int i = 0; i < fs.num_files(); ++i) {
            lt::file_index_t f(i);
            auto index = static_cast<std::size_t>(i);
            PieceSpan span = PieceSpan::of(fs, i);
            w.beginObject();
            w.key("i").integer(i);
            w.key("path").text(fs.file_path(f));
            w.key("size").integer(fs.file_size(f));
            w.key("done").integer(index < progress.size() ? progress[index] : 0);
            w.key("prio").integer(
                index < priorities.size()
                    ? static_cast<int>(static_cast<std::uint8_t>(priorities[index]))
                    : 4);
            w.key("pad").boolean(fs.pad_file_at(f));
            w.key("first").integer(span.first);
            w.key("last").integer(span.last);
            w.endObject();
        }
        w.endArray();
        return w.take();
    } catch (const std::exception&) {
        return "[]";
    }
}

std::string Session::peersJson(const std::string& id) {
    auto h = handleOf(id);
    if (!h)
        return "[]";
    std::vector<lt::peer_info> peers;
    try {
        h->get_peer_info(peers);
    } catch (const std::exception&) {
        return "[]";
    }
    JsonWriter w;
    w.beginArray();
    for (const auto& p : peers) {
        std::string flags;
        if (p.flags & (lt::peer_info::rc4_encrypted | lt::peer_info::plaintext_encrypted))
            flags += 'E';
        if (p.flags & lt::peer_info::utp_socket)
            flags += 'U';
        if (p.flags & lt::peer_info::seed)
            flags += 'S';
        if (!(p.flags & lt::peer_info::outgoing_connection))
            flags += 'I';
        w.beginObject();
        w.key("ip").text(p.ip.address().to_string());
        w.key("port").integer(p.ip.port());
        w.key("client").text(p.client);
        w.key("flags").text(flags);
        w.key("source").text(peerSource(p.source));
        w.key("progress").real(p.progress);
        w.key("downloadRate").integer(p.payload_down_speed);
        w.key("uploadRate").integer(p.payload_up_speed);
        w.key("downloaded").integer(p.total_download);
        w.key("uploaded").integer(p.total_upload);
        w.key("rttMs").integer(p.rtt);
        w.key("outstandingRequests").integer(p.download_queue_length);
        w.key("targetRequests").integer(p.target_dl_queue_length);
        w.key("timedOutRequests").integer(p.timed_out_requests);
        w.key("pendingDiskBytes").integer(p.pending_disk_bytes);
        w.key("remoteChoked").boolean(static_cast<bool>(p.flags & lt::peer_info::remote_choked));
        w.key("waitingForDisk").boolean(static_cast<bool>(p.read_state & lt::peer_info::bw_disk));
        w.key("waitingForNetwork")
            .boolean(static_cast<bool>(p.read_state & lt::peer_info::bw_network));
        w.key("waitingForRateLimit")
            .boolean(static_cast<bool>(p.read_state & lt::peer_info::bw_limit));
        w.endObject();
    }
    w.endArray();
    return w.take();
}

std::string Session::trackersJson(const std::string& id) {
    auto h = handleOf(id);
    if (!h)
        return "[]";
    std::vector<lt::announce_entry> trackers;
    try {
        trackers = h->trackers();
    } catch (const std::exception&) {
        return "[]";
    }
    auto now = lt::clock_type::now();
    JsonWriter w;
    w.beginArray();
    for (const auto& t : trackers) {
        TrackerFold fold = TrackerFold::of(t, now);
        w.beginObject();
        w.key("url").text(t.url);
        w.key("tier").integer(t.tier);
        w.key("status").text(fold.status);
        w.key("message").text(fold.message);
        w.key("fails").integer(fold.fails);
        w.key("seeds").integer(fold.seeds);
        w.key("peers").integer(fold.peers);
        w.key("downloaded").integer(fold.downloaded);
        w.key("nextAnnounce").integer(fold.nextAnnounce);
        w.key("extra").boolean(t.tier == TrackerRule::kExtraTier);
        w.key("mirror").boolean(t.tier == TrackerRule::kMirrorTier);
        w.endObject();
    }
    w.endArray();
    return w.take();
}

std::string Session::diagnosticsJson() {
    m_session->post_session_stats();
    static constexpr const char* kSettings[] = {
        "download_rate_limit",   "upload_rate_limit",     "connections_limit",
        "connection_speed",      "max_out_request_queue", "request_queue_time",
        "max_queued_disk_bytes", "aio_threads",           "hashing_threads",
        "checking_mem_usage",    "send_buffer_watermark", "mixed_mode_algorithm"};
    lt::settings_pack settings = m_session->get_settings();

    std::vector<std::int64_t> counters;
    std::int64_t ageMs = -1;
    {
        std::lock_guard lock(m_stateMutex);
        counters = m_counters;
        if (m_sampleTime)
            ageMs =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *m_sampleTime)
                    .count();
    }
    JsonWriter w;
    w.beginObject();
    w.key("sampleAgeMs").integer(ageMs);
    w.key("counters").beginObject();
    for (const auto& metric : lt::session_stats_metrics())
        if (metric.value_index >= 0 && metric.value_index < static_cast<int>(counters.size()))
            w.key(metric.name).integer(counters[static_cast<std::size_t>(metric.value_index)]);
    w.endObject();
    w.key("settings").beginObject();
    for (const char* name : kSettings)
        w.key(name).integer(settings.get_int(lt::setting_by_name(name)));
    w.endObject();
    w.endObject();
    return w.take();
}

std::string Session::pieces(const std::string& id, int file) {
    auto h = handleOf(id);
    if (!h)
        return "";
    try {
        auto ti = h->torrent_file();
        if (!ti || file < 0 || file >= ti->num_files() ||
            ti->files().file_size(lt::file_index_t(file)) < 1)
            return "";
        PieceSpan span = PieceSpan::of(ti->files(), file);
        lt::torrent_status st = h->status(lt::torrent_handle::query_pieces);
        std::string out(static_cast<std::size_t>(span.last - span.first + 1), '0');
        for (const auto& partial : h->get_download_queue()) {
            int p = static_cast<int>(partial.piece_index);
            if (p >= span.first && p <= span.last)
                out[static_cast<std::size_t>(p - span.first)] = '2';
        }
        for (int p = span.first; p <= span.last; ++p)
            if (st.is_seeding || (p < st.pieces.size() && st.pieces.get_bit(lt::piece_index_t(p))))
                out[static_cast<std::size_t>(p - span.first)] = '1';
        return out;
    } catch (const std::exception&) {
        return "";
    }
}

std::string Session::pieceStates(const std::string& id) {
    auto h = handleOf(id);
    if (!h)
        return "";
    try {
        auto ti = h->torrent_file();
        if (!ti)
            return "";
        int count = ti->num_pieces();
        lt::torrent_status st = h->status(lt::torrent_handle::query_pieces);
        if (st.is_seeding)
            return std::string(static_cast<std::size_t>(count), '1');
        std::string out(static_cast<std::size_t>(count), '0');
        bool checking = st.state == lt::torrent_status::checking_files ||
                        st.state == lt::torrent_status::checking_resume_data;
        bool consult = !checking && !(st.flags & lt::torrent_flags::paused) && st.num_peers >= 1;
        std::vector<int> availability;
        std::vector<lt::download_priority_t> priorities;
        if (consult) {
            h->piece_availability(availability);
            priorities = h->get_piece_priorities();
        }
        for (int p = 0; p < count; ++p) {
            auto i = static_cast<std::size_t>(p);
            if (p < st.pieces.size() && st.pieces.get_bit(lt::piece_index_t(p)))
                out[i] = '1';
            else if (consult && i < availability.size() && availability[i] == 0 &&
                     (i >= priorities.size() || priorities[i] != lt::dont_download))
                out[i] = '3';
        }
        for (const auto& partial : h->get_download_queue()) {
            auto i = static_cast<std::size_t>(static_cast<int>(partial.piece_index));
            if (i < out.size() && out[i] != '1' &&
                partial.requested + partial.writing + partial.finished > 0)
                out[i] = '2';
        }
        return out;
    } catch (const std::exception&) {
        return "";
    }
}

std::string Session::pollEvents() {
    std::vector<TorrentEvent> events;
    {
        std::lock_guard lock(m_stateMutex);
        events = m_events.take();
    }
    JsonWriter w;
    w.beginArray();
    for (const auto& e : events) {
        w.beginObject();
        w.key("type").text(e.type);
        w.key("id").text(e.id);
        w.key("name").text(e.name);
        w.key("message").text(e.message);
        w.endObject();
    }
    w.endArray();
    return w.take();
}

} // namespace tevro::bridge
