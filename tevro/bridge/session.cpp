#include "tevro/bridge/session.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <libtorrent/bdecode.hpp>
#include <libtorrent/session_params.hpp>
#include <libtorrent/settings_pack.hpp>

#include "tevro/bridge/file_watch.h"
#include "tevro/bridge/hold_guard.h"
#include "tevro/bridge/piece_cache.h"
#include "tevro/bridge/reader_registry.h"
#include "tevro/bridge/status_rows.h"
#include "tevro/bridge/settings_text.h"
#include "tevro/bridge/state_files.h"
#include "tevro/core/serial_queue.h"

namespace tevro::bridge {

using namespace std::chrono_literals;

namespace {

constexpr int kAlertQueue = 100000;

} // namespace

Session::Session(std::string stateDir)
    : m_dir(std::move(stateDir)), m_watch(std::make_unique<FileWatch>()),
      m_statusRows(std::make_unique<StatusRows>()), m_pieces(std::make_shared<PieceCache>()),
      m_readers(std::make_shared<ReaderRegistry>()),
      m_resumeWrites(std::make_unique<SerialQueue>("tevro.resume")) {}

Session::~Session() {
    m_resumeWritesCut = true;
    m_resumeWrites->stop();
}

void Session::start(const char* settings) {
    std::error_code made;
    std::filesystem::create_directories(m_dir + "/resume", made);
    if (made)
        std::fprintf(stderr, "torrent state folder %s cannot be created: %s\n", m_dir.c_str(),
                     made.message().c_str());

    lt::session_params params = readSessionState();
    SettingsText parsed = SettingsText::parse(settings);
    m_namedSettings = parsed.named();
    params.settings = std::move(parsed.pack());
    // A start checks every saved torrent, some ten alerts each: the default
    // queue drops the answers of a large library's adds and saves.
    if (!params.settings.has_val(lt::settings_pack::alert_queue_size))
        params.settings.set_int(lt::settings_pack::alert_queue_size, kAlertQueue);
    try {
        m_session = std::make_unique<lt::session>(std::move(params));
        m_session->add_extension(HoldGuard::factory(m_readers));
        std::vector<std::string> saved = savedResumeFiles();
        for (const auto& name : saved)
            m_restorePending.insert(name.substr(0, name.size() - 7));
        m_restoring = true;
        m_alertThread = std::thread([this] { alertLoop(); });
        m_restoreThread = std::thread(
            [this, saved = std::move(saved)]() mutable { restoreSaved(std::move(saved)); });
    } catch (const std::exception& e) {
        // The engine cannot run without its session.
        std::fprintf(stderr, "torrent session failed to start: %s\n", e.what());
        std::abort();
    }
}

lt::session_params Session::readSessionState() {
    const std::string path = state_files::sessionStatePath(m_dir);
    auto saved = state_files::read(path, 64u << 20);
    std::lock_guard lock(m_stateMutex);
    if (!saved) {
        if (saved.error() == std::errc::file_too_large)
            reportDamaged(path, "", "", "файл", true, "слишком большой файл");
        else if (saved.error() != std::errc::no_such_file_or_directory)
            reportDamaged(path, "", "", "файл", false, saved.error().message());
        return {};
    }
    // Written with the DHT state alone, a dictionary: any other key or type is
    // not ours, and the next save would drop it.
    lt::error_code ec;
    lt::bdecode_node root = lt::bdecode(*saved, ec);
    bool ours = !ec && root.type() == lt::bdecode_node::dict_t;
    for (int i = 0; ours && i < root.dict_size(); ++i)
        ours = root.dict_at(i).first == "dht state" &&
               root.dict_at(i).second.type() == lt::bdecode_node::dict_t;
    if (ours) {
        try {
            return lt::read_session_params(*saved, lt::session_handle::save_dht_state);
        } catch (const std::exception&) {
        }
    }
    reportDamaged(path, "", "", "файл", true,
                  saved->empty() ? "пустой файл"
                  : ec           ? ec.message()
                                 : "неизвестные ключи или типы");
    return {};
}

void Session::applySettings(const char* text) {
    SettingsText parsed = SettingsText::parse(text);
    {
        std::lock_guard lock(m_stateMutex);
        parsed.resetOmitted(m_namedSettings);
        m_namedSettings = parsed.named();
    }
    const lt::settings_pack& pack = parsed.pack();
    if (pack.has_val(lt::settings_pack::listen_interfaces)) {
        std::string current =
            m_session->get_settings().get_str(lt::settings_pack::listen_interfaces);
        if (pack.get_str(lt::settings_pack::listen_interfaces) != current) {
            std::lock_guard lock(m_stateMutex);
            m_listening.clear();
            m_listenErrors.clear();
            m_portmap.clear();
        }
    }
    m_session->apply_settings(pack);
}

void Session::saveState() {
    // Resume data keeps piece priorities: never save a streaming hold's zeros.
    m_readers->hold().releaseAll();
    // libtorrent reports a torrent that comes to need a save in its next
    // state update: the reports since the last save name them all. Without
    // a report since, every torrent is asked, in one question.
    std::vector<lt::torrent_status> due;
    bool reported = false;
    {
        std::lock_guard lock(m_stateMutex);
        reported = std::exchange(m_reportedSinceSave, false);
        if (reported) {
            for (const std::string& id : m_saveDue)
                if (auto it = m_torrents.find(id); it != m_torrents.end()) {
                    due.emplace_back();
                    due.back().handle = it->second.handle;
                }
            m_saveDue.clear();
        }
    }
    try {
        if (reported) {
            m_session->refresh_torrent_status(&due, {});
            std::erase_if(due, [](const lt::torrent_status& st) {
                return !st.handle.is_valid() || !st.need_save_resume;
            });
        } else {
            due = m_session->get_torrent_status(
                [](const lt::torrent_status& st) { return st.need_save_resume; }, {});
        }
    } catch (const std::exception&) {
    }
    for (const auto& st : due) {
        {
            std::lock_guard lock(m_stateMutex);
            if (idOf(st.handle).empty())
                continue; // still being added
        }
        // libtorrent 2.0 has no per-change save flags: a torrent that needs
        // saving is saved whole.
        requestResume(st.handle,
                      lt::torrent_handle::flush_disk_cache | lt::torrent_handle::save_info_dict);
    }
    writeSessionState();
}

void Session::writeSessionState() {
    try {
        lt::session_params state = m_session->session_state(lt::session_handle::save_dht_state);
        std::vector<char> buf =
            lt::write_session_params_buf(state, lt::session_handle::save_dht_state);
        writeStateFile("state", state_files::sessionStatePath(m_dir),
                       std::string_view(buf.data(), buf.size()), "", "");
    } catch (const std::exception&) {
    }
}

void Session::shutDown() {
    m_stop = true;
    m_restoreSignal.notify_all();
    // An alert ends the alert thread's wait at once.
    if (m_session)
        m_session->post_session_stats();
    if (m_restoreThread.joinable())
        m_restoreThread.join();
    if (m_alertThread.joinable())
        m_alertThread.join();
    if (!m_session)
        return;

    // No reader may still be inside a call once the library goes away.
    m_readers->shutDown(*m_pieces);
    m_readers->hold().releaseAll();

    lt::settings_pack quickStop;
    quickStop.set_int(lt::settings_pack::stop_tracker_timeout, 1);
    m_session->apply_settings(quickStop);

    // Only what changed since its last save is written again; a torrent whose
    // last write failed is saved whole. The requests go out a batch at a
    // time: answers beyond libtorrent's alert queue would be dropped, and
    // their torrents waited for to the end.
    std::vector<lt::torrent_handle> handles = m_session->get_torrents();
    std::set<std::string> unsaved;
    {
        std::lock_guard lock(m_stateMutex);
        for (const std::string& key : m_unsaved)
            if (key.starts_with("resume:"))
                unsaved.insert(key.substr(7));
    }
    constexpr int kInFlight = 1000;
    auto ask = [&](const lt::torrent_handle& h) {
        if (!h.is_valid())
            return;
        lt::resume_data_flags_t flags =
            lt::torrent_handle::flush_disk_cache | lt::torrent_handle::save_info_dict;
        {
            std::lock_guard lock(m_stateMutex);
            if (!unsaved.count(idOf(h)))
                flags |= lt::torrent_handle::only_if_modified;
        }
        // Wait only for the answers to the saves asked for here; answers to
        // earlier requests of the same torrent arrive first and are let pass.
        int earlier = 0;
        {
            std::lock_guard lock(m_saveMutex);
            auto it = m_savesInFlight.find(h);
            earlier = it == m_savesInFlight.end() ? 0 : it->second;
        }
        if (!requestResume(h, flags))
            return;
        std::lock_guard lock(m_saveMutex);
        m_shutdownSkips[h] = earlier;
        ++m_pendingSaves;
    };
    std::size_t next = 0;
    auto limit = Clock::now() + 10s;
    while (Clock::now() < limit) {
        while (next < handles.size()) {
            {
                std::lock_guard lock(m_saveMutex);
                if (m_pendingSaves >= kInFlight)
                    break;
            }
            ask(handles[next++]);
        }
        {
            std::lock_guard lock(m_saveMutex);
            if (m_pendingSaves < 1 && next >= handles.size())
                break;
        }
        m_session->wait_for_alert(200ms);
        std::vector<lt::alert*> alerts;
        m_session->pop_alerts(&alerts);
        for (lt::alert* a : alerts)
            handleAlert(a);
    }
    // Writes the wait did not see through are not made now.
    m_resumeWritesCut = true;
    m_resumeWrites->stop();
    writeSessionState();

    auto done = std::make_shared<std::atomic<bool>>(false);
    auto proxy = std::make_shared<lt::session_proxy>(m_session->abort());
    m_session.reset();
    std::thread teardown([proxy = std::move(proxy), done]() mutable {
        // Dropping the last proxy blocks until the library has torn down.
        proxy.reset();
        *done = true;
    });
    auto giveUp = Clock::now() + 3s;
    while (!*done && Clock::now() < giveUp)
        std::this_thread::sleep_for(20ms);
    if (*done)
        teardown.join();
    else
        teardown.detach();
}

} // namespace tevro::bridge
