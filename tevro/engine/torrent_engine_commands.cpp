// The engine's commands and queries: what the windows, the player and the
// local servers ask of the torrents.

#include "tevro/engine/torrent_engine.h"

#include <QPointer>

#include "tevro/bridge/bridge_string.h"
#include "tevro/bridge/torrent_bridge.h"
#include "tevro/core/key_value_text.h"

namespace tevro {

namespace {

const char* flag(bool b) {
    return b ? "1" : "0";
}

std::expected<AddResult, EngineError> finish(std::optional<std::string> id,
                                             std::optional<std::string> error) {
    if (!id)
        return std::unexpected(EngineError{error.value_or("Не удалось добавить торрент")});
    return AddResult{*id, error == "duplicate"};
}

EngineError lineBreakInPath() {
    return EngineError{"Путь сохранения не может содержать перевод строки"};
}

std::string addTorrentOptions(const std::string& savePath,
                              const std::optional<std::vector<int>>& priorities, bool paused,
                              bool sequential) {
    KeyValueLines lines = {
        {"save_path", savePath}, {"paused", flag(paused)}, {"sequential", flag(sequential)}};
    if (priorities) {
        std::string list;
        for (int p : *priorities) {
            if (!list.empty())
                list += ',';
            list += std::to_string(p);
        }
        lines.emplace_back("priorities", list);
    }
    return joinKeyValueLines(lines);
}

std::expected<AddResult, EngineError> addTorrentTo(tb_session* session,
                                                   const std::filesystem::path& torrentFile,
                                                   const std::string& savePath,
                                                   const std::string& options) {
    std::error_code ec;
    std::filesystem::create_directories(savePath, ec);
    char* error = nullptr;
    auto id =
        takeBridgeString(tb_add_torrent(session, torrentFile.c_str(), options.c_str(), &error));
    return finish(std::move(id), takeBridgeString(error));
}

TorrentPreview previewOf(const std::filesystem::path& torrentFile) {
    if (auto text = takeBridgeString(tb_inspect_torrent(torrentFile.c_str())))
        if (auto preview = json::decode<TorrentPreview>(*text))
            return *preview;
    return TorrentPreview::failure("Не удалось прочитать файл");
}

} // namespace

std::expected<AddResult, EngineError>
TorrentEngine::addTorrent(const std::filesystem::path& torrentFile, const std::string& savePath,
                          std::optional<std::vector<int>> priorities, bool paused,
                          bool sequential) {
    if (!isSafeTextValue(savePath))
        return std::unexpected(lineBreakInPath());
    auto result = addTorrentTo(m_session, torrentFile, savePath,
                               addTorrentOptions(savePath, priorities, paused, sequential));
    if (result)
        poll();
    return result;
}

void TorrentEngine::addTorrent(const std::filesystem::path& torrentFile,
                               const std::string& savePath,
                               std::optional<std::vector<int>> priorities, bool paused,
                               bool sequential, std::function<void(AddOutcome)> done) {
    if (!isSafeTextValue(savePath))
        return done(std::unexpected(lineBreakInPath()));
    if (m_isShutDown)
        return done(std::unexpected(EngineError{"Не удалось добавить торрент"}));
    QPointer<TorrentEngine> self(this);
    onQueue<AddOutcome>(
        [torrentFile, savePath,
         options = addTorrentOptions(savePath, priorities, paused, sequential)](tb_session* s) {
            return addTorrentTo(s, torrentFile, savePath, options);
        },
        [self, done = std::move(done)](AddOutcome result) {
            if (self && result)
                self->poll();
            done(std::move(result));
        });
}

std::expected<AddResult, EngineError> TorrentEngine::addMagnet(const std::string& magnet,
                                                               const std::string& savePath,
                                                               bool chooseFiles, bool paused,
                                                               bool sequential) {
    if (!isSafeTextValue(savePath))
        return std::unexpected(lineBreakInPath());
    KeyValueLines lines = {{"save_path", savePath},
                           {"paused", flag(paused)},
                           {"sequential", flag(sequential)},
                           {"choose", flag(chooseFiles)}};
    std::error_code ec;
    std::filesystem::create_directories(savePath, ec);
    char* error = nullptr;
    auto id = takeBridgeString(
        tb_add_magnet(m_session, magnet.c_str(), joinKeyValueLines(lines).c_str(), &error));
    auto result = finish(std::move(id), takeBridgeString(error));
    if (result)
        poll();
    return result;
}

TorrentPreview TorrentEngine::preview(const std::filesystem::path& torrentFile) const {
    return previewOf(torrentFile);
}

void TorrentEngine::preview(const std::filesystem::path& torrentFile,
                            std::function<void(TorrentPreview)> done) {
    if (m_isShutDown)
        return done(previewOf(torrentFile));
    onQueue<TorrentPreview>([torrentFile](tb_session*) { return previewOf(torrentFile); },
                            std::move(done));
}

const TorrentEngine::TorrentsChange* TorrentEngine::changeSince(std::uint64_t revision) const {
    static const TorrentsChange none;
    if (revision == m_torrentsRevision)
        return &none;
    if (revision + 1 == m_torrentsRevision && m_lastChange.revision == m_torrentsRevision)
        return &m_lastChange;
    return nullptr;
}

std::optional<std::size_t> TorrentEngine::position(const std::string& id) const {
    if (auto at = m_positions.find(id); at != m_positions.end() && at->second < m_torrents.size())
        return at->second;
    return std::nullopt;
}

std::optional<TorrentStatus> TorrentEngine::torrent(const std::string& id) const {
    if (auto at = m_positions.find(id); at != m_positions.end() && at->second < m_torrents.size())
        return m_torrents[at->second];
    return std::nullopt;
}

void TorrentEngine::togglePause(const std::string& id) {
    auto t = torrent(id);
    if (!t)
        return;
    if (!t->paused || t->autoManaged)
        pause({id});
    else
        resume({id});
}

void TorrentEngine::setPriority(const std::string& id, const std::vector<int>& files,
                                FilePriority priority) {
    if (files.empty())
        return;
    std::vector<int> indices(files.begin(), files.end());
    tb_set_file_priorities(m_session, id.c_str(), indices.data(), static_cast<int>(indices.size()),
                           rawValue(priority));
    poll();
}

void TorrentEngine::action(const std::string& name, const std::vector<std::string>& ids) {
    for (const auto& id : ids) {
        if (name == "recheck")
            m_checkingProgress.tracks.erase(id);
        tb_action(m_session, id.c_str(), name.c_str());
    }
    poll();
}

void TorrentEngine::remove(const std::vector<std::string>& ids, bool deleteFiles) {
    bool changed = false;
    for (const auto& id : ids) {
        tb_remove(m_session, id.c_str(), deleteFiles ? 1 : 0);
        changed |= m_meta.erase(id) > 0;
    }
    if (changed)
        emit metaChanged();
    scheduleMetaSave();
    poll();
}

void TorrentEngine::resume(const std::vector<std::string>& ids) {
    for (const auto& id : ids) {
        auto t = torrent(id);
        if (t && (t->finished || t->seeding) && settingsLimitReached(*t))
            updateMeta(id, [](TorrentMeta& m) { m.ignoreSeedLimits = true; });
        tb_action(m_session, id.c_str(), "resume");
    }
    poll();
}

void TorrentEngine::pause(const std::vector<std::string>& ids) {
    for (const auto& id : ids)
        tb_action(m_session, id.c_str(), "pause");
    poll();
}

void TorrentEngine::updateMeta(const std::string& id,
                               const std::function<void(TorrentMeta&)>& edit) {
    auto it = m_meta.find(id);
    TorrentMeta value = it == m_meta.end() ? TorrentMeta{} : it->second;
    edit(value);
    if (it != m_meta.end() && it->second == value)
        return;
    m_meta[id] = std::move(value);
    emit metaChanged();
    scheduleMetaSave();
}

void TorrentEngine::reveal(const std::string& id, const std::optional<TorrentFile>& file) {
    auto t = torrent(id);
    if (!t || !m_options.reveal)
        return;
    std::filesystem::path folder = t->savePath;
    std::filesystem::path target = folder / (file ? file->path : t->name);
    std::error_code ec;
    if (std::filesystem::exists(target, ec))
        m_options.reveal(target, true);
    else
        m_options.reveal(folder, false);
}

namespace {

template <class T> std::vector<T> decodeList(std::optional<std::string> text) {
    if (!text)
        return {};
    auto list = json::decodeArray<T>(*text);
    return list ? std::move(*list) : std::vector<T>{};
}

} // namespace

void TorrentEngine::files(const std::string& id,
                          std::function<void(std::vector<TorrentFile>)> done) {
    if (m_isShutDown)
        return done({});
    onQueue<std::vector<TorrentFile>>(
        [id](tb_session* s) {
            return decodeList<TorrentFile>(takeBridgeString(tb_files_json(s, id.c_str())));
        },
        std::move(done));
}

void TorrentEngine::peers(const std::string& id, std::function<void(std::vector<PeerInfo>)> done) {
    if (m_isShutDown)
        return done({});
    onQueue<std::vector<PeerInfo>>(
        [id](tb_session* s) {
            return decodeList<PeerInfo>(takeBridgeString(tb_peers_json(s, id.c_str())));
        },
        std::move(done));
}

void TorrentEngine::trackers(const std::string& id,
                             std::function<void(std::vector<TrackerInfo>)> done) {
    if (m_isShutDown)
        return done({});
    onQueue<std::vector<TrackerInfo>>(
        [id](tb_session* s) {
            return decodeList<TrackerInfo>(takeBridgeString(tb_trackers_json(s, id.c_str())));
        },
        std::move(done));
}

void TorrentEngine::pieces(const std::string& id, int file, std::function<void(std::string)> done) {
    if (m_isShutDown)
        return done({});
    onQueue<std::string>(
        [id, file](tb_session* s) {
            return takeBridgeString(tb_pieces(s, id.c_str(), file)).value_or(std::string());
        },
        std::move(done));
}

void TorrentEngine::networkDiagnostics(std::function<void(std::string)> done) {
    if (m_isShutDown)
        return done("{}");
    onQueue<std::string>(
        [](tb_session* s) { return takeBridgeString(tb_diagnostics_json(s)).value_or("{}"); },
        std::move(done));
}

void TorrentEngine::peerDiagnostics(const std::string& id, std::function<void(std::string)> done) {
    if (m_isShutDown)
        return done("[]");
    onQueue<std::string>(
        [id](tb_session* s) {
            return takeBridgeString(tb_peers_json(s, id.c_str())).value_or("[]");
        },
        std::move(done));
}

void TorrentEngine::pieceMap(const std::string& id, std::function<void(PieceMap)> done) {
    if (m_isShutDown)
        return done(PieceMap());
    double now = m_probe->now();
    // Maps not asked for a while go; the shown rows keep theirs.
    if (now - m_lastPieceMapSweep >= 10.0) {
        m_lastPieceMapSweep = now;
        std::erase_if(m_pieceMapCache,
                      [&](const auto& e) { return e.first != id && now - e.second.used >= 10.0; });
    }
    std::optional<TorrentStatus> row = torrent(id);
    if (auto it = m_pieceMapCache.find(id); it != m_pieceMapCache.end()) {
        CachedPieceMap& cached = it->second;
        // A seed's or a paused torrent's pieces change only with its row
        // (a check, data gone, a resume): the shown rows of an idle library
        // cost no bridge call every refresh.
        bool quiet = row && (row->seeding || row->paused) && row->state != "checking";
        if (now - cached.fetched < 1.5 || (quiet && cached.row == row)) {
            cached.used = now;
            return done(cached.map);
        }
    }
    onQueue<std::string>(
        [id](tb_session* s) {
            return takeBridgeString(tb_piece_states(s, id.c_str())).value_or(std::string());
        },
        [this, id, now, row = std::move(row), done = std::move(done)](std::string text) mutable {
            if (m_isShutDown)
                return done(PieceMap());
            PieceMap map(text);
            m_pieceMapCache[id] = {now, now, map, std::move(row)};
            done(std::move(map));
        });
}

void TorrentEngine::refreshForAutomation(std::function<void()> done) {
    if (m_isShutDown) {
        if (done)
            done();
        return;
    }
    onQueue<std::optional<StatusDelta>>(
        [decoder = m_statusDecoder](tb_session* s) -> std::optional<StatusDelta> {
            return pollStatus(s, *decoder);
        },
        [this, done = std::move(done)](std::optional<StatusDelta> delta) {
            if (delta)
                apply(std::move(delta), {});
            if (done)
                done();
        });
}

} // namespace tevro
