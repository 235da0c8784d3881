// The extern "C" entry points: argument checks, owned copies of results, and
// no exception ever crossing the interface.

#include "tevro/bridge/torrent_bridge.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "tevro/bridge/session.h"
#include "tevro/bridge/stream_reader.h"
#include "tevro/bridge/torrent_inspection.h"

namespace {

char* owned(std::string_view text) {
    auto* p = static_cast<char*>(std::malloc(text.size() + 1));
    if (!p)
        return nullptr;
    std::memcpy(p, text.data(), text.size());
    p[text.size()] = '\0';
    return p;
}

std::string idText(const char* id) {
    return id ? std::string(id) : std::string();
}

char* finishAdd(const tevro::bridge::Session::Added& added, char** error) {
    if (error)
        *error = added.error.empty() ? nullptr : owned(added.error);
    return added.id ? owned(*added.id) : nullptr;
}

// Runs f, turning any exception into `fallback`.
template <class T, class F> T guarded(T fallback, F&& f) {
    try {
        return f();
    } catch (...) {
        return fallback;
    }
}

} // namespace

extern "C" {

tb_session* tb_session_create(const char* state_dir, const char* settings) {
    auto* s = new tb_session(state_dir ? state_dir : ".");
    s->start(settings);
    return s;
}

void tb_session_destroy(tb_session* s) {
    if (!s)
        return;
    try {
        s->shutDown();
    } catch (...) {
    }
    delete s;
}

void tb_apply_settings(tb_session* s, const char* settings) {
    if (s)
        guarded(0, [&] { return s->applySettings(settings), 0; });
}

void tb_save_state(tb_session* s) {
    if (s)
        guarded(0, [&] { return s->saveState(), 0; });
}

void tb_free(void* p) {
    std::free(p);
}

char* tb_add_torrent(tb_session* s, const char* path, const char* options, char** error) {
    if (error)
        *error = nullptr;
    if (!s)
        return nullptr;
    return guarded<char*>(nullptr,
                          [&] { return finishAdd(s->addTorrentFile(path, options), error); });
}

char* tb_add_magnet(tb_session* s, const char* uri, const char* options, char** error) {
    if (error)
        *error = nullptr;
    if (!s)
        return nullptr;
    return guarded<char*>(nullptr, [&] { return finishAdd(s->addMagnet(uri, options), error); });
}

int tb_remove(tb_session* s, const char* id, int delete_files) {
    if (!s)
        return 0;
    return guarded(0, [&] { return s->remove(idText(id), delete_files == 1) ? 1 : 0; });
}

int tb_action(tb_session* s, const char* id, const char* name) {
    if (!s || !name)
        return 0;
    return guarded(0, [&] { return s->action(idText(id), name) ? 1 : 0; });
}

int tb_set_file_priorities(tb_session* s, const char* id, const int* indices, int count,
                           int priority) {
    if (!s)
        return 0;
    return guarded(
        0, [&] { return s->setFilePriorities(idText(id), indices, count, priority) ? 1 : 0; });
}

int tb_set_limits(tb_session* s, const char* id, int download, int upload, int connections,
                  int upload_slots) {
    if (!s)
        return 0;
    return guarded(0, [&] {
        return s->setLimits(idText(id), download, upload, connections, upload_slots) ? 1 : 0;
    });
}

int tb_add_trackers(tb_session* s, const char* id, const char* urls) {
    if (!s)
        return 0;
    return guarded(0, [&] { return s->addTrackers(idText(id), urls ? urls : "") ? 1 : 0; });
}

int tb_move_storage(tb_session* s, const char* id, const char* path) {
    if (!s || !path)
        return 0;
    return guarded(0, [&] { return s->moveStorage(idText(id), path) ? 1 : 0; });
}

void tb_set_extra_trackers(tb_session* s, const char* urls, int mirror) {
    if (s)
        guarded(0, [&] { return s->setExtraTrackers(urls ? urls : "", mirror == 1), 0; });
}

void tb_set_banned_clients(tb_session* s, const char* patterns) {
    if (s)
        guarded(0, [&] { return s->setBannedClients(patterns ? patterns : ""), 0; });
}

char* tb_inspect_torrent(const char* path) {
    return owned(guarded<std::string>("{\"error\":\"unreadable torrent\"}", [&] {
        return tevro::bridge::TorrentInspection::json(path);
    }));
}

char* tb_status_json(tb_session* s) {
    static constexpr std::string_view kEmpty =
        "{\"session\":{\"download\":0,\"upload\":0,\"dhtNodes\":0,\"incoming\":false,"
        "\"externalIP\":\"\",\"portmap\":\"\",\"banned\":0,\"listening\":[],\"listenErrors\":[]},"
        "\"torrents\":[]}";
    if (!s)
        return owned(kEmpty);
    return owned(guarded<std::string>(std::string(kEmpty), [&] { return s->statusJson(); }));
}

char* tb_status_json_since(tb_session* s, uint64_t* revision) {
    if (!s || !revision)
        return tb_status_json(s);
    return guarded<char*>(nullptr, [&]() -> char* {
        char* text = nullptr;
        s->statusJsonSince(*revision, [&](std::string_view report) { text = owned(report); });
        return text;
    });
}

char* tb_files_json(tb_session* s, const char* id) {
    if (!s)
        return owned("[]");
    return owned(guarded<std::string>("[]", [&] { return s->filesJson(idText(id)); }));
}

char* tb_peers_json(tb_session* s, const char* id) {
    if (!s)
        return owned("[]");
    return owned(guarded<std::string>("[]", [&] { return s->peersJson(idText(id)); }));
}

char* tb_trackers_json(tb_session* s, const char* id) {
    if (!s)
        return owned("[]");
    return owned(guarded<std::string>("[]", [&] { return s->trackersJson(idText(id)); }));
}

char* tb_diagnostics_json(tb_session* s) {
    static constexpr std::string_view kEmpty =
        "{\"sampleAgeMs\":-1,\"counters\":{},\"settings\":{}}";
    if (!s)
        return owned(kEmpty);
    return owned(guarded<std::string>(std::string(kEmpty), [&] { return s->diagnosticsJson(); }));
}

char* tb_pieces(tb_session* s, const char* id, int file) {
    if (!s)
        return owned("");
    return owned(guarded<std::string>("", [&] { return s->pieces(idText(id), file); }));
}

char* tb_piece_states(tb_session* s, const char* id) {
    if (!s)
        return owned("");
    return owned(guarded<std::string>("", [&] { return s->pieceStates(idText(id)); }));
}

char* tb_poll_events(tb_session* s) {
    if (!s)
        return owned("[]");
    return owned(guarded<std::string>("[]", [&] { return s->pollEvents(); }));
}

tb_reader* tb_reader_open(tb_session* s, const char* id, int file) {
    if (!s)
        return nullptr;
    return guarded<tb_reader*>(nullptr, [&] { return s->openReader(idText(id), file); });
}

int64_t tb_reader_read(tb_reader* r, char* buffer, uint64_t length) {
    if (!r || !buffer)
        return -1;
    return guarded<int64_t>(-1, [&] { return r->read(buffer, length); });
}

int64_t tb_reader_seek(tb_reader* r, int64_t offset) {
    if (!r)
        return -1;
    return guarded<int64_t>(-1, [&] { return r->seek(offset); });
}

int64_t tb_reader_size(tb_reader* r) {
    return r ? r->size() : -1;
}

void tb_reader_cancel(tb_reader* r) {
    if (r)
        r->cancel();
}

void tb_reader_close(tb_reader* r) {
    if (!r)
        return;
    try {
        r->close();
    } catch (...) {
    }
    delete r;
}

void tb_prefetch(tb_session* s, const char* id, int file, int64_t span, double fraction) {
    if (s)
        guarded(0, [&] { return s->prefetch(idText(id), file, span, fraction), 0; });
}

double tb_stream_progress(tb_session* s, const char* id, int file) {
    if (!s)
        return -1;
    return guarded(-1.0, [&] { return s->streamProgress(idText(id), file); });
}

int tb_stream_waiting(tb_session* s, const char* id, int file) {
    if (!s)
        return 0;
    return guarded(0, [&] { return s->streamWaiting(idText(id), file) ? 1 : 0; });
}

} // extern "C"
