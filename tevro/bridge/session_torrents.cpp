// Registering torrents, restoring them from the state folder, and the
// missing-file rule that watches completed files on disk.

#include "tevro/bridge/session.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libtorrent/alert_types.hpp>
#include <libtorrent/announce_entry.hpp>
#include <libtorrent/bdecode.hpp>
#include <libtorrent/ip_filter.hpp>
#include <libtorrent/peer_info.hpp>
#include <libtorrent/read_resume_data.hpp>
#include <libtorrent/torrent_info.hpp>
#include <libtorrent/torrent_status.hpp>

#include "tevro/bridge/banned_clients.h"
#include "tevro/bridge/file_watch.h"
#include "tevro/bridge/piece_cache.h"
#include "tevro/bridge/piece_span.h"
#include "tevro/bridge/state_files.h"
#include "tevro/bridge/torrent_id.h"
#include "tevro/bridge/torrent_loader.h"
#include "tevro/bridge/tracker_cut.h"
#include "tevro/bridge/tracker_rule.h"
#include "tevro/bridge/utf8.h"

namespace tevro::bridge {

using namespace std::chrono_literals;

namespace {

// Far more than the resume data of any torrent libtorrent loads.
constexpr std::size_t kMaxResumeBytes = 256u << 20;
// Below this a file list cannot repeat a path a refused number of times.
constexpr std::size_t kRepeatCheckBytes = 16u << 10;

// The torrent's name in a resume file that does not decode (cut short, say),
// so the user learns which torrent it was: the first bencoded "name" value.
std::string nameInDamagedResume(std::string_view bytes) {
    std::size_t at = bytes.find("4:name");
    if (at == std::string_view::npos)
        return {};
    std::size_t digits = at + 6, colon = digits;
    while (colon < bytes.size() && colon - digits < 5 && bytes[colon] >= '0' && bytes[colon] <= '9')
        ++colon;
    if (colon == digits || colon >= bytes.size() || bytes[colon] != ':')
        return {};
    std::size_t length = std::stoul(std::string(bytes.substr(digits, colon - digits)));
    if (length == 0 || length > 1024 || colon + 1 + length > bytes.size())
        return {};
    return repairUtf8(bytes.substr(colon + 1, length));
}

// ENOENT or ENOTDIR: the file is gone. Other stat errors never count.
bool isGone(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return false;
    return errno == ENOENT || errno == ENOTDIR;
}

std::string joinPath(const std::string& dir, const std::string& relative) {
    if (!relative.empty() && relative.front() == '/')
        return relative;
    if (dir.empty() || dir.back() == '/')
        return dir + relative;
    return dir + "/" + relative;
}

bool wanted(const std::vector<lt::download_priority_t>& priorities, int index) {
    return index >= static_cast<int>(priorities.size()) ||
           priorities[static_cast<std::size_t>(index)] != lt::dont_download;
}

// Every wanted piece saved as had: the torrent was finished when it was saved.
bool savedFinished(const lt::add_torrent_params& p) {
    if (p.flags & lt::torrent_flags::seed_mode)
        return true;
    if (!p.ti || !p.ti->is_valid())
        return false;
    const lt::file_storage& fs = p.ti->files();
    if (p.have_pieces.size() < fs.num_pieces())
        return false;
    for (lt::file_index_t f : fs.file_range()) {
        if (fs.pad_file_at(f) || fs.file_size(f) == 0 ||
            !wanted(p.file_priorities, static_cast<int>(f)))
            continue;
        lt::piece_index_t first = fs.map_file(f, 0, 1).piece;
        lt::piece_index_t last = fs.map_file(f, fs.file_size(f) - 1, 1).piece;
        for (lt::piece_index_t i = first; i <= last; ++i)
            if (!p.have_pieces.get_bit(i))
                return false;
    }
    return true;
}

// The files a saved torrent should find on disk, from its resume data.
std::set<int> expectedFiles(const lt::add_torrent_params& params) {
    std::set<int> out;
    if (!params.ti)
        return out;
    const lt::file_storage& fs = params.ti->files();
    bool savedComplete = params.completed_time >= 1 && (params.flags & lt::torrent_flags::paused);
    for (int i = 0; i < fs.num_files(); ++i) {
        lt::file_index_t f(i);
        if (fs.pad_file_at(f) || fs.file_size(f) < 1 || !wanted(params.file_priorities, i))
            continue;
        bool held = false;
        if (params.have_pieces.empty()) {
            held = savedComplete;
        } else {
            PieceSpan span = PieceSpan::of(fs, i);
            for (int p = span.first; p <= span.last && !held; ++p)
                held = p < params.have_pieces.size() &&
                       params.have_pieces.get_bit(lt::piece_index_t(p));
        }
        if (held)
            out.insert(i);
    }
    return out;
}

// The trackers a torrent added with `params` starts with, as its handle
// would list them: the saved list replaces the file's when it overrides it.
std::vector<TrackerEntry> savedTrackers(const lt::add_torrent_params& params) {
    std::vector<TrackerEntry> out;
    auto listed = [&](const std::string& url) {
        return std::any_of(out.begin(), out.end(), [&](const auto& e) { return e.url == url; });
    };
    if (params.ti && !(params.flags & lt::torrent_flags::override_trackers))
        for (const auto& e : params.ti->trackers())
            if (!listed(e.url))
                out.push_back({e.url, e.tier});
    int tier = 0;
    for (std::size_t i = 0; i < params.trackers.size(); ++i) {
        if (i < params.tracker_tiers.size())
            tier = params.tracker_tiers[i];
        if (!params.trackers[i].empty() && !listed(params.trackers[i]))
            out.push_back({params.trackers[i], tier});
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return a.tier < b.tier; });
    return out;
}

std::string savedFilePath(const lt::add_torrent_params& params, int index) {
    auto renamed = params.renamed_files.find(lt::file_index_t(index));
    if (renamed != params.renamed_files.end())
        return joinPath(params.save_path, renamed->second);
    return params.ti->files().file_path(lt::file_index_t(index), params.save_path);
}

} // namespace

std::string Session::idOf(const lt::torrent_handle& handle) const {
    auto it = m_ids.find(handle);
    return it == m_ids.end() ? std::string() : it->second;
}

std::optional<lt::torrent_handle> Session::handleOf(const std::string& id) {
    awaitRestored(id);
    lt::torrent_handle h;
    {
        std::lock_guard lock(m_stateMutex);
        auto it = m_torrents.find(id);
        if (it == m_torrents.end())
            return std::nullopt;
        h = it->second.handle;
    }
    if (!h.is_valid())
        return std::nullopt;
    return h;
}

std::vector<std::string> Session::savedResumeFiles() {
    std::string folder = m_dir + "/resume";
    DIR* d = ::opendir(folder.c_str());
    if (!d)
        return {};
    std::vector<std::string> names;
    std::vector<std::string> presences;
    std::vector<std::string> leftovers;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name.size() >= 8 && name.ends_with(".resume"))
            names.push_back(std::move(name));
        else if (name.ends_with(".presence"))
            presences.push_back(std::move(name));
        else if (name.ends_with(".tmp"))
            leftovers.push_back(std::move(name));
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    // What a crash between two writes leaves: half-written files, and a
    // presence file whose torrent never got its resume file. Cleared before
    // any add can write new ones.
    for (const auto& name : presences) {
        std::string resume = name.substr(0, name.size() - 9) + ".resume";
        if (!std::binary_search(names.begin(), names.end(), resume))
            leftovers.push_back(name);
    }
    for (const auto& name : leftovers)
        ::unlink((folder + "/" + name).c_str());
    ::unlink((state_files::sessionStatePath(m_dir) + ".tmp").c_str());
    return names;
}

void Session::awaitRestored(const std::string& id) {
    std::unique_lock lock(m_restoreMutex);
    if (!m_restorePending.count(id))
        return;
    // Its file is read next, ahead of the rest.
    m_restoreFirst.push_back(id);
    m_restoreSignal.notify_all();
    m_restoreSignal.wait(lock, [&] { return m_stop || !m_restorePending.count(id); });
}

void Session::restoreDone(const std::string& fileName) {
    std::lock_guard lock(m_restoreMutex);
    m_restorePending.erase(fileName.substr(0, fileName.size() - 7));
    m_restoreSignal.notify_all();
}

void Session::restoreSaved(std::vector<std::string> names) {
    // Adds asked and not yet answered stay few: libtorrent's alert queue is
    // bounded, and a lost answer would leave its torrent unregistered.
    constexpr std::size_t kInFlight = 256;
    auto roomFor = [&](std::size_t most) {
        std::unique_lock lock(m_restoreMutex);
        std::size_t before = m_restoreAdds.size();
        auto stalled = Clock::now() + 20s;
        while (!m_stop && (m_restoreAdds.size() > most || (most == 0 && m_restoreBusy > 0))) {
            if (most > 0 && !m_restoreFirst.empty())
                break; // a command waits on one not read yet
            m_restoreSignal.wait_for(lock, 100ms);
            if (m_restoreAdds.size() != before) {
                before = m_restoreAdds.size();
                stalled = Clock::now() + 20s;
            } else if (Clock::now() > stalled) {
                // Answers dropped: the torrents are in the session all the same.
                std::vector<std::unique_ptr<RestoredAdd>> lost;
                for (auto& [key, add] : m_restoreAdds)
                    lost.push_back(std::move(add));
                m_restoreAdds.clear();
                lock.unlock();
                std::fprintf(stderr, "restore: %zu adds unanswered\n", lost.size());
                for (auto& add : lost) {
                    lt::torrent_handle h = m_session->find_torrent(add->hash);
                    finishRestoredAdd(*add, h,
                                      h.is_valid()
                                          ? lt::error_code()
                                          : lt::error_code(lt::errors::invalid_torrent_handle,
                                                           lt::libtorrent_category()));
                    restoreDone(add->fileName);
                }
                lock.lock();
            }
        }
    };
    // In name order, but one a command waits for comes first.
    std::size_t next = 0;
    std::set<std::string> taken;
    auto nextName = [&]() -> std::optional<std::string> {
        {
            std::lock_guard lock(m_restoreMutex);
            while (!m_restoreFirst.empty()) {
                std::string name = m_restoreFirst.front() + ".resume";
                m_restoreFirst.pop_front();
                if (std::binary_search(names.begin(), names.end(), name) &&
                    taken.insert(name).second)
                    return name;
            }
        }
        while (next < names.size())
            if (taken.insert(names[next++]).second)
                return names[next - 1];
        return std::nullopt;
    };
    while (!m_stop) {
        roomFor(kInFlight - 1);
        auto name = nextName();
        if (!name)
            break;
        bool asked = false;
        try {
            asked = restoreOne(*name);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "restore of %s failed: %s\n", name->c_str(), e.what());
        }
        if (!asked)
            restoreDone(*name);
    }
    roomFor(0);
    {
        std::lock_guard lock(m_restoreMutex);
        m_restorePending.clear();
        m_restoreFirst.clear();
        m_restoreSignal.notify_all();
    }
    m_restoring = false;
}

bool Session::restoreOne(const std::string& fileName) {
    const std::string path = m_dir + "/resume/" + fileName;
    std::string stem = fileName.substr(0, fileName.size() - 7);
    auto damaged = [&](const std::string& name, bool readable, const std::string& reason) {
        std::lock_guard lock(m_stateMutex);
        reportDamaged(path, stem, name, "файл состояния", readable, reason);
    };
    auto bytes = state_files::read(path, kMaxResumeBytes);
    if (!bytes) {
        bool tooLarge = bytes.error() == std::errc::file_too_large;
        damaged("", tooLarge, tooLarge ? "слишком большой файл" : bytes.error().message());
        return false;
    }
    lt::error_code ec;
    // Saved by a version that took any torrent: one repeating a path
    // thousands of times would cost minutes at every start.
    if (bytes->size() > kRepeatCheckBytes) {
        lt::bdecode_node root = lt::bdecode(*bytes, ec);
        lt::bdecode_node info = !ec && root.type() == lt::bdecode_node::dict_t
                                    ? root.dict_find_dict("info")
                                    : lt::bdecode_node();
        if (auto refused = info ? TorrentLoader::repeatedPathsRefusal(info) : std::nullopt) {
            damaged(nameInDamagedResume(*bytes), true, *refused);
            return false;
        }
        ec.clear();
    }
    lt::add_torrent_params params = lt::read_resume_data(*bytes, ec);
    if (ec) {
        damaged(nameInDamagedResume(*bytes), true, bytes->empty() ? "пустой файл" : ec.message());
        return false;
    }
    cutTrackers(params);
    // A torrent comes back under the id its files were saved with, even when
    // its best info-hash has changed since.
    std::string id = stem;
    if (!isTorrentId(id))
        id = torrentId(params.ti ? params.ti->info_hashes() : params.info_hashes);
    std::string name = params.ti ? params.ti->name() : params.name;
    // Stopped by a full disk (only that puts a torrent in upload mode here):
    // it goes on now, and writes again.
    if (params.flags & lt::torrent_flags::upload_mode) {
        params.flags &= ~lt::torrent_flags::upload_mode;
        if (params.flags & lt::torrent_flags::paused) {
            params.flags &= ~lt::torrent_flags::paused;
            params.flags |= lt::torrent_flags::auto_managed;
        }
    }

    std::set<int> expected = expectedFiles(params);
    std::string presence = state_files::readWhole(state_files::presencePath(m_dir, id));
    bool presenceSaved = !presence.empty();
    if (presenceSaved)
        expected = state_files::parsePresence(presence);
    if (params.ti) {
        int count = params.ti->num_files();
        for (int index : expected) {
            if (index >= count || !wanted(params.file_priorities, index))
                continue;
            if (isGone(savedFilePath(params, index))) {
                params.flags |= lt::torrent_flags::paused;
                params.flags &= ~lt::torrent_flags::auto_managed;
                break;
            }
        }
    }
    const bool finished = savedFinished(params);
    // Every start verifies the data on disk again.
    params.have_pieces.clear();
    params.verified_pieces.clear();
    params.unfinished_pieces.clear();
    params.flags &= ~(lt::torrent_flags::seed_mode | lt::torrent_flags::no_verify_files);
    params.flags |= lt::torrent_flags::duplicate_is_error;
    // Paused by libtorrent's queue when it was saved, not by the user (whose
    // pause ends auto-management): added paused, the check waits for the
    // queue's next turn, about two torrents a second; running, the checking
    // queue takes one after another and the queue holds the rest after.
    if (params.flags & lt::torrent_flags::auto_managed)
        params.flags &= ~lt::torrent_flags::paused;

    // Registered when libtorrent answers (restoredAdded).
    lt::sha1_hash hash = (params.ti ? params.ti->info_hashes() : params.info_hashes).get_best();
    // libtorrent's answer does not carry the trackers: kept from here.
    auto add = std::make_unique<RestoredAdd>(RestoredAdd{fileName, std::move(id), std::move(name),
                                                         std::move(expected), presenceSaved, hash,
                                                         savedTrackers(params)});
    add->finished = finished;
    // libtorrent keeps limits only once one is set, and then both.
    if (params.download_limit > 0 || params.upload_limit > 0) {
        add->downloadLimit = std::max(params.download_limit, 0);
        add->uploadLimit = std::max(params.upload_limit, 0);
    }
    params.userdata = lt::client_data_t(add.get());
    {
        std::lock_guard lock(m_restoreMutex);
        m_restoreAdds.emplace(add.get(), std::move(add));
    }
    m_session->async_add_torrent(std::move(params));
    return true;
}

void Session::restoredAdded(const lt::add_torrent_alert& alert) {
    auto* key = alert.params.userdata.get<RestoredAdd>();
    if (!key)
        return; // an add of Session::add
    std::unique_ptr<RestoredAdd> add;
    {
        std::lock_guard lock(m_restoreMutex);
        auto it = m_restoreAdds.find(key);
        if (it == m_restoreAdds.end())
            return;
        add = std::move(it->second);
        m_restoreAdds.erase(it);
        ++m_restoreBusy;
    }
    finishRestoredAdd(*add, alert.handle, alert.error, &alert.params);
    std::lock_guard lock(m_restoreMutex);
    --m_restoreBusy;
    m_restorePending.erase(add->fileName.substr(0, add->fileName.size() - 7));
    m_restoreSignal.notify_all();
}

void Session::finishRestoredAdd(RestoredAdd& add, const lt::torrent_handle& handle,
                                const lt::error_code& error, const lt::add_torrent_params* params) {
    std::lock_guard lock(m_stateMutex);
    // Added by the user meanwhile: theirs stands, the saved file is left alone.
    if (m_torrents.count(add.id))
        return;
    if (error) {
        reportDamaged(m_dir + "/resume/" + add.fileName,
                      add.fileName.substr(0, add.fileName.size() - 7), add.name, "файл состояния",
                      true, error.message());
        return;
    }
    remember(handle, add.id, add.expected, params, add.presenceSaved, &add.trackers);
    if (params) {
        TorrentRec& rec = m_torrents[add.id];
        rec.downloadLimit = add.downloadLimit;
        rec.uploadLimit = add.uploadLimit;
        touch(add.id);
        rec.finishedWhenSaved = add.finished;
    }
}

void Session::remember(const lt::torrent_handle& handle, const std::string& id,
                       const std::set<int>& expected, const lt::add_torrent_params* restored,
                       bool presenceSaved, const std::vector<TrackerEntry>* trackers) {
    TorrentRec& rec = m_torrents[id];
    rec.handle = handle;
    m_ids[handle] = id;
    touch(id);
    // A restored torrent is what its saved parameters say: every question to
    // the handle waits for libtorrent's thread, which is busy adding the rest.
    lt::info_hash_t hashes = rec.hashes;
    if (restored) {
        hashes = restored->ti ? restored->ti->info_hashes() : restored->info_hashes;
    } else {
        try {
            hashes = handle.info_hashes();
            rec.downloadLimit = handle.download_limit();
            rec.uploadLimit = handle.upload_limit();
        } catch (const std::exception&) {
        }
    }
    m_hashIndex.remove(id, rec.hashes);
    rec.hashes = hashes;
    m_hashIndex.add(id, rec.hashes);
    // A restore has read the presence file already: `expected` is its set.
    std::string presence;
    if (!(restored && presenceSaved))
        presence = state_files::readWhole(state_files::presencePath(m_dir, id));
    if (restored && presenceSaved) {
        rec.present = expected;
    } else if (presence.empty()) {
        rec.present = expected;
        savePresence(id, rec);
    } else {
        rec.present = state_files::parsePresence(presence);
    }
    try {
        if (restored ? restored->ti != nullptr : handle.torrent_file() != nullptr)
            applyTrackers(id, rec, restored, trackers);
    } catch (const std::exception&) {
    }
    // The missing-file rule of a restored torrent runs at the next scan,
    // within the second, off the path of the adds.
    if (restored)
        m_filesDue.insert(id);
    else
        checkFiles(id, rec);
}

void Session::savePresence(const std::string& id, const TorrentRec& rec) {
    std::error_code error;
    if (state_files::writeAtomically(state_files::presencePath(m_dir, id),
                                     state_files::formatPresence(rec.present), &error)) {
        noteWrite("presence:" + id, {}, id, "");
        return;
    }
    std::string name;
    try {
        if (auto ti = rec.handle.torrent_file())
            name = ti->name();
    } catch (const std::exception&) {
    }
    noteWrite("presence:" + id, error, id, name);
}

void Session::checkFiles(const std::string& id, TorrentRec& rec) {
    if (!rec.missingText.empty())
        return;
    try {
        const lt::torrent_handle& h = rec.handle;
        if (!h.is_valid())
            return;
        lt::torrent_status st =
            h.status(lt::torrent_handle::query_save_path | lt::torrent_handle::query_name);
        std::shared_ptr<const lt::torrent_info> ti = h.torrent_file();
        if (!st.has_metadata || !ti || st.moving_storage)
            return;
        const lt::file_storage& fs = ti->files();
        bool checking = st.state == lt::torrent_status::checking_files ||
                        st.state == lt::torrent_status::checking_resume_data;
        // A file completes only with a piece: nothing new since the last look.
        if (!checking && st.total_done != rec.scannedDone) {
            std::vector<std::int64_t> progress;
            h.file_progress(progress);
            rec.scannedDone = st.total_done;
            bool grew = false;
            for (int i = 0; i < fs.num_files() && i < static_cast<int>(progress.size()); ++i) {
                lt::file_index_t f(i);
                if (fs.pad_file_at(f) || fs.file_size(f) < 1 ||
                    progress[static_cast<std::size_t>(i)] < fs.file_size(f))
                    continue;
                grew = rec.present.insert(i).second || grew;
            }
            if (grew)
                savePresence(id, rec);
        }
        // Watched before they are looked at: a file that goes in between is
        // seen by the look.
        std::vector<int> files;
        std::vector<std::string> paths;
        for (int index : rec.present) {
            if (index >= fs.num_files())
                continue;
            lt::file_index_t f(index);
            if (fs.pad_file_at(f) || fs.file_size(f) < 1)
                continue;
            files.push_back(index);
            paths.push_back(fs.file_path(f, st.save_path));
        }
        m_watch->set(id, paths);
        if (files.empty())
            return;
        std::vector<lt::download_priority_t> priorities = h.get_file_priorities();
        for (std::size_t k = 0; k < files.size(); ++k) {
            if (!wanted(priorities, files[k]) || !isGone(paths[k]))
                continue;
            std::string name = fs.file_path(lt::file_index_t(files[k]));
            if (auto slash = name.find_last_of('/'); slash != std::string::npos)
                name.erase(0, slash + 1);
            touch(id);
            rec.missingText = "Файл удалён или перемещён: «" + name +
                              "». Верните файл и проверьте его или перезапустите загрузку.";
            m_watch->forget(id);
            h.unset_flags(lt::torrent_flags::auto_managed);
            h.pause();
            h.force_recheck();
            m_pieces->forget(id);
            requestResume(h, lt::torrent_handle::save_info_dict);
            m_events.push("error", id, st.name, rec.missingText);
            return;
        }
    } catch (const std::exception&) {
    }
}

void Session::filesDue(const lt::torrent_handle& handle) {
    std::lock_guard lock(m_stateMutex);
    if (std::string id = idOf(handle); !id.empty())
        m_filesDue.insert(std::move(id));
}

bool Session::resetMissing(const std::string& id, TorrentRec& rec) {
    checkFiles(id, rec);
    if (rec.missingText.empty())
        return false;
    rec.missingText.clear();
    touch(id);
    rec.present.clear();
    rec.scannedDone = -1;
    savePresence(id, rec);
    m_watch->forget(id);
    m_pieces->forget(id);
    try {
        rec.handle.clear_error();
        rec.handle.force_recheck();
    } catch (const std::exception&) {
    }
    return true;
}

void Session::applyTrackers(const std::string& id, TorrentRec& rec,
                            const lt::add_torrent_params* restored,
                            const std::vector<TrackerEntry>* trackers) {
    const lt::torrent_handle& h = rec.handle;
    if (!h.is_valid())
        return;
    if (auto ti = restored ? restored->ti : h.torrent_file(); ti && ti->priv() && !rec.isPrivate) {
        rec.isPrivate = true;
        touch(id);
    }
    if (rec.isPrivate) {
        rec.applied = true;
        return;
    }
    // A restored torrent's list is the one it was added with: asking the
    // handle waits on libtorrent's thread, busy adding the rest.
    std::vector<TrackerEntry> entries;
    if (trackers) {
        entries = *trackers;
    } else {
        for (const auto& e : h.trackers())
            entries.push_back({e.url, e.tier});
    }
    std::vector<TrackerEntry> next = TrackerRule::apply(entries, m_extraTrackers, m_mirror);
    if (next != entries) {
        std::vector<lt::announce_entry> replaced;
        for (const auto& e : next) {
            lt::announce_entry a(e.url);
            a.tier = static_cast<std::uint8_t>(e.tier);
            replaced.push_back(std::move(a));
        }
        h.replace_trackers(replaced);
    }
    rec.applied = true;
}

void Session::scanFiles() {
    // Only the torrents whose files may have changed: an inotify event on
    // one of their files' paths, a file that cannot be watched and is gone,
    // or a change the alerts reported. The state lock one torrent at a time.
    std::set<std::string> due;
    {
        std::lock_guard lock(m_stateMutex);
        m_watch->takeChanged(due);
        due.merge(m_filesDue);
        m_filesDue.clear();
    }
    for (const auto& id : due) {
        std::lock_guard lock(m_stateMutex);
        if (auto it = m_torrents.find(id); it != m_torrents.end())
            checkFiles(id, it->second);
    }
}

void Session::scanBannedPeers() {
    std::vector<std::string> patterns;
    {
        std::lock_guard lock(m_stateMutex);
        if (m_bannedPatterns.empty())
            return;
        patterns = m_bannedPatterns;
    }
    // Only torrents with peers: one library call finds them, where asking
    // each of thousands of idle torrents for its peers took one call each.
    std::vector<lt::torrent_handle> handles;
    for (const auto& st : m_session->get_torrent_status(
             [](const lt::torrent_status& st) { return st.num_peers > 0; }, {}))
        handles.push_back(st.handle);
    {
        std::lock_guard lock(m_stateMutex);
        std::erase_if(handles, [this](const auto& h) { return idOf(h).empty(); });
    }
    std::vector<std::string> hits;
    for (const auto& h : handles) {
        try {
            if (!h.is_valid())
                continue;
            std::vector<lt::peer_info> peers;
            h.get_peer_info(peers);
            for (const auto& p : peers) {
                std::string_view pid(p.pid.data(), 8);
                if (BannedClients::matches(patterns, p.client, pid))
                    hits.push_back(p.ip.address().to_string());
            }
        } catch (const std::exception&) {
        }
    }
    if (hits.empty())
        return;
    // The check, the new rules and the install happen under the state lock, as
    // a lift does: patterns cleared while the peers were read are not undone.
    std::lock_guard lock(m_stateMutex);
    if (m_bannedPatterns.empty() || m_bannedPatterns != patterns)
        return;
    lt::ip_filter filter = m_session->get_ip_filter();
    bool added = false;
    for (const auto& text : hits) {
        if (m_bannedAddresses.count(text))
            continue;
        lt::error_code ec;
        lt::address a = lt::make_address(text, ec);
        if (ec)
            continue;
        m_bannedAddresses.insert(text);
        filter.add_rule(a, a, lt::ip_filter::blocked);
        added = true;
    }
    if (added)
        m_session->set_ip_filter(std::move(filter));
}

} // namespace tevro::bridge
