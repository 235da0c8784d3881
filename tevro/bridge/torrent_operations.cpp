// The tb_* calls that change torrents: adds, removal, named actions,
// priorities, limits, trackers, storage moves and bans.

#include "tevro/bridge/session.h"

#include <algorithm>
#include <cstdio>

#include <libtorrent/announce_entry.hpp>
#include <libtorrent/error_code.hpp>
#include <libtorrent/ip_filter.hpp>
#include <libtorrent/magnet_uri.hpp>
#include <libtorrent/torrent_info.hpp>
#include <libtorrent/write_resume_data.hpp>

#include "tevro/bridge/add_options.h"
#include "tevro/bridge/file_watch.h"
#include "tevro/bridge/piece_cache.h"
#include "tevro/bridge/state_files.h"
#include "tevro/bridge/torrent_id.h"
#include "tevro/bridge/torrent_loader.h"
#include "tevro/bridge/tracker_cut.h"
#include "tevro/core/file_check.h"

namespace tevro::bridge {

namespace {

// Lines of a URL or pattern text, trimmed, empty ones dropped.
std::vector<std::string> lines(std::string_view text) {
    std::vector<std::string> out;
    while (!text.empty()) {
        auto nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        while (!line.empty() &&
               (line.front() == ' ' || line.front() == '\t' || line.front() == '\r'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
            line.remove_suffix(1);
        if (!line.empty())
            out.emplace_back(line);
    }
    return out;
}

} // namespace

Session::Added Session::addTorrentFile(const char* path, const char* options) {
    lt::add_torrent_params params;
    auto loaded = TorrentLoader::load(path);
    if (!loaded)
        return {std::nullopt, loaded.error()};
    params.ti = std::move(*loaded);
    cutTrackers(params);
    return add(std::move(params), AddOptions::parse(options));
}

Session::Added Session::addMagnet(const char* uri, const char* options) {
    lt::error_code ec;
    lt::add_torrent_params params = lt::parse_magnet_uri(uri ? uri : "", ec);
    if (ec)
        return {std::nullopt, ec.message()};
    cutTrackers(params);
    return add(std::move(params), AddOptions::parse(options));
}

Session::Added Session::add(lt::add_torrent_params params, const AddOptions& options) {
    bool hasMetadata = params.ti != nullptr;
    options.applyTo(params, hasMetadata);
    lt::info_hash_t hashes = hasMetadata ? params.ti->info_hashes() : params.info_hashes;
    std::string id = torrentId(hashes);
    // The file lock from the duplicate check on: a concurrent add of the same
    // torrent waits here and then finds it registered.
    std::lock_guard files(m_fileMutex);
    {
        std::lock_guard lock(m_stateMutex);
        // Matching any known hash finds a v1 magnet's torrent from its hybrid
        // .torrent and the other way round; the first id stays.
        if (m_torrents.contains(id))
            return {id, "duplicate"};
        if (auto existing = m_hashIndex.find(hashes))
            return {*existing, "duplicate"};
        if (m_untouchable.count("resume:" + id))
            return {std::nullopt, "Файл состояния этого торрента не читается, а заменять его "
                                  "Tevro не станет: " +
                                      state_files::resumePath(m_dir, id)};
    }
    params.flags |= lt::torrent_flags::duplicate_is_error;
    // The add parameters are the torrent's first resume file, written before
    // the torrent joins the session: an add that could not be made to last
    // adds nothing, and a crash right after one keeps the torrent.
    lt::add_torrent_params initial = params;
    if (hasMetadata)
        initial.info_hashes = hashes;
    const std::string resumeFile = state_files::resumePath(m_dir, id);
    std::error_code written;
    try {
        std::vector<char> buf = lt::write_resume_data_buf(initial);
        state_files::writeAtomically(resumeFile, std::string_view(buf.data(), buf.size()),
                                     &written);
    } catch (const std::exception&) {
        written = std::make_error_code(std::errc::invalid_argument);
    }
    if (written) {
        std::fprintf(stderr, "cannot write %s: %s\n", resumeFile.c_str(),
                     written.message().c_str());
        return {std::nullopt, "Не удалось сохранить торрент: " + writeFailureText(written)};
    }
    lt::error_code ec;
    lt::torrent_handle h = m_session->add_torrent(std::move(params), ec);
    if (ec == lt::errors::duplicate_torrent) {
        std::lock_guard lock(m_stateMutex);
        return {m_hashIndex.find(hashes).value_or(id), "duplicate"};
    }
    if (ec) {
        std::remove(resumeFile.c_str());
        return {std::nullopt, ec.message()};
    }
    {
        std::lock_guard lock(m_stateMutex);
        remember(h, id, {});
    }
    requestResume(h, lt::torrent_handle::save_info_dict);
    return {id, ""};
}

bool Session::remove(const std::string& id, bool deleteFiles) {
    awaitRestored(id);
    lt::torrent_handle h;
    {
        std::lock_guard files(m_fileMutex);
        std::lock_guard lock(m_stateMutex);
        auto it = m_torrents.find(id);
        if (it == m_torrents.end() || !it->second.handle.is_valid())
            return false;
        h = it->second.handle;
        m_ids.erase(h);
        m_hashIndex.remove(id, it->second.hashes);
        m_torrents.erase(it);
        if (m_statusRows->erase(id))
            logRow(id);
        m_touched.erase(id);
        m_unsaved.erase("resume:" + id);
        m_unsaved.erase("presence:" + id);
        m_watch->forget(id);
        m_filesDue.erase(id);
        std::remove(state_files::resumePath(m_dir, id).c_str());
        std::remove(state_files::presencePath(m_dir, id).c_str());
    }
    m_pieces->forget(id);
    {
        std::lock_guard lock(m_saveMutex);
        m_savesInFlight.erase(h);
    }
    m_session->remove_torrent(h, deleteFiles ? lt::session_handle::delete_files
                                             : lt::remove_flags_t{});
    return true;
}

bool Session::action(const std::string& id, std::string_view name) {
    static constexpr std::string_view kActions[] = {
        "resume",         "pause",    "force_start", "recheck",   "reannounce",  "sequential_on",
        "sequential_off", "queue_up", "queue_down",  "queue_top", "queue_bottom"};
    if (std::find(std::begin(kActions), std::end(kActions), name) == std::end(kActions))
        return false;
    auto handle = handleOf(id);
    if (!handle)
        return false;
    lt::torrent_handle& h = *handle;
    auto resetMissingOf = [&] {
        std::lock_guard lock(m_stateMutex);
        auto it = m_torrents.find(id);
        if (it == m_torrents.end())
            return false;
        // Whatever stopped it, the torrent writes again when told to go on.
        clearDiskFull(id, it->second);
        return resetMissing(id, it->second);
    };
    try {
        if (name == "resume") {
            resetMissingOf();
            h.clear_error();
            h.set_flags(lt::torrent_flags::auto_managed);
            h.resume();
        } else if (name == "pause") {
            h.unset_flags(lt::torrent_flags::auto_managed);
            h.pause(lt::torrent_handle::graceful_pause);
        } else if (name == "force_start") {
            resetMissingOf();
            h.clear_error();
            h.unset_flags(lt::torrent_flags::auto_managed);
            h.resume();
        } else if (name == "recheck") {
            if (resetMissingOf()) {
                // The reset forced the check already; stop once it is done.
                h.set_flags(lt::torrent_flags::stop_when_ready);
                h.resume();
            } else {
                h.force_recheck();
            }
        } else if (name == "reannounce") {
            h.force_reannounce(0, -1, lt::torrent_handle::ignore_min_interval);
            h.force_dht_announce();
        } else if (name == "sequential_on") {
            h.set_flags(lt::torrent_flags::sequential_download);
        } else if (name == "sequential_off") {
            h.unset_flags(lt::torrent_flags::sequential_download);
        } else if (name == "queue_up") {
            h.queue_position_up();
        } else if (name == "queue_down") {
            h.queue_position_down();
        } else if (name == "queue_top") {
            h.queue_position_top();
        } else if (name == "queue_bottom") {
            h.queue_position_bottom();
        }
    } catch (const std::exception&) {
        return false;
    }
    requestResume(h, lt::torrent_handle::save_info_dict);
    return true;
}

bool Session::setFilePriorities(const std::string& id, const int* indices, int count,
                                int priority) {
    auto handle = handleOf(id);
    if (!handle)
        return false;
    try {
        auto ti = handle->torrent_file();
        if (!ti)
            return false;
        int files = ti->num_files();
        lt::download_priority_t p(static_cast<std::uint8_t>(std::clamp(priority, 0, 7)));
        // One file at a time: libtorrent queues these behind a change still
        // on its way to the disk, where a whole list built from the
        // priorities it reports now would undo that change.
        for (int k = 0; indices && k < count; ++k)
            if (indices[k] >= 0 && indices[k] < files)
                handle->file_priority(lt::file_index_t(indices[k]), p);
    } catch (const std::exception&) {
        return false;
    }
    // A file wanted again is looked at again.
    filesDue(*handle);
    requestResume(*handle, lt::torrent_handle::save_info_dict);
    return true;
}

bool Session::setLimits(const std::string& id, int down, int up, int connections, int slots) {
    auto handle = handleOf(id);
    if (!handle)
        return false;
    down = down < 1 ? -1 : down;
    up = up < 1 ? -1 : up;
    try {
        handle->set_download_limit(down);
        handle->set_upload_limit(up);
        handle->set_max_connections(connections < 1 ? -1 : connections);
        handle->set_max_uploads(slots < 1 ? 0xFFFFFF : slots);
    } catch (const std::exception&) {
        return false;
    }
    {
        std::lock_guard lock(m_stateMutex);
        if (auto it = m_torrents.find(id); it != m_torrents.end()) {
            it->second.downloadLimit = down;
            it->second.uploadLimit = up;
            touch(id);
        }
    }
    requestResume(*handle, lt::torrent_handle::save_info_dict);
    return true;
}

bool Session::addTrackers(const std::string& id, std::string_view urls) {
    auto handle = handleOf(id);
    if (!handle)
        return false;
    try {
        for (const auto& url : lines(urls))
            handle->add_tracker(lt::announce_entry(url));
        handle->force_reannounce(0, -1, lt::torrent_handle::ignore_min_interval);
    } catch (const std::exception&) {
        return false;
    }
    requestResume(*handle, lt::torrent_handle::save_info_dict);
    return true;
}

bool Session::moveStorage(const std::string& id, const std::string& path) {
    auto handle = handleOf(id);
    if (!handle)
        return false;
    try {
        handle->move_storage(path, lt::move_flags_t::always_replace_files);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void Session::setExtraTrackers(std::string_view urls, bool mirror) {
    std::lock_guard lock(m_stateMutex);
    m_extraTrackers = lines(urls);
    m_mirror = mirror;
    for (auto& [id, rec] : m_torrents) {
        try {
            applyTrackers(id, rec);
        } catch (const std::exception&) {
        }
    }
}

void Session::setBannedClients(std::string_view patterns) {
    std::lock_guard lock(m_stateMutex);
    m_bannedPatterns = lines(patterns);
    if (m_bannedPatterns.empty() && !m_bannedAddresses.empty()) {
        m_bannedAddresses.clear();
        // Under the lock: a ban scan installs its filter before or after this,
        // never across it.
        m_session->set_ip_filter(lt::ip_filter());
    }
}

} // namespace tevro::bridge
