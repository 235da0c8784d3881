#include "tests/bridge/bridge_fixture.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/support/swarm/bridge_listen_port.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/swarm/wait_until.h"
#include "tevro/core/json_value.h"

namespace tevro::test {

BridgeSession::BridgeSession(std::filesystem::path stateDir, std::string settings)
    : m_dir(std::move(stateDir)) {
    if (settings.empty())
        settings = swarm::loopbackSettingsText();
    m_session = tb_session_create(m_dir.c_str(), settings.c_str());
    // The saved torrents come back after the call: a test starts once they are in.
    if (!swarm::waitUntil([&] { return !status().session.restoring; }, 60s))
        throw std::runtime_error("saved torrents were not restored");
}

BridgeSession::~BridgeSession() {
    destroy();
}

void BridgeSession::destroy() {
    tb_session_destroy(m_session);
    m_session = nullptr;
}

int BridgeSession::port() {
    int port = swarm::bridgeListenPort(m_session);
    if (port == 0)
        throw std::runtime_error("bridge session is not listening");
    return port;
}

StatusSnapshot BridgeSession::status() {
    BridgeString text(tb_status_json(m_session));
    auto snapshot = StatusSnapshot::decode(text.view());
    if (!snapshot)
        throw std::runtime_error("status text does not decode: " + snapshot.error());
    return *snapshot;
}

std::optional<TorrentStatus> BridgeSession::torrent(const std::string& id) {
    for (auto& t : status().torrents)
        if (t.id == id)
            return t;
    return std::nullopt;
}

std::vector<TorrentFile> BridgeSession::files(const std::string& id) {
    BridgeString text(tb_files_json(m_session, id.c_str()));
    auto files = json::decodeArray<TorrentFile>(text.view());
    if (!files)
        throw std::runtime_error("file list does not decode: " + files.error());
    return *files;
}

const std::vector<TorrentEvent>& BridgeSession::pollEvents() {
    BridgeString text(tb_poll_events(m_session));
    auto events = json::decodeArray<TorrentEvent>(text.view());
    if (!events)
        throw std::runtime_error("events do not decode: " + events.error());
    m_history.insert(m_history.end(), events->begin(), events->end());
    return m_history;
}

int BridgeSession::countEvents(const std::string& type, const std::string& id) {
    pollEvents();
    int n = 0;
    for (const auto& e : m_history)
        if (e.type == type && (id.empty() || e.id == id))
            ++n;
    return n;
}

BridgeSession::Added BridgeSession::addTorrent(const std::filesystem::path& path,
                                               const std::string& options) {
    BridgeString error;
    BridgeString id(tb_add_torrent(m_session, path.c_str(), options.c_str(), error.out()));
    return {id.str(), error.str()};
}

BridgeSession::Added BridgeSession::addMagnet(const std::string& uri, const std::string& options) {
    BridgeString error;
    BridgeString id(tb_add_magnet(m_session, uri.c_str(), options.c_str(), error.out()));
    return {id.str(), error.str()};
}

bool BridgeSession::waitFor(const std::string& id,
                            const std::function<bool(const TorrentStatus&)>& condition,
                            std::chrono::milliseconds timeout, const std::function<void()>& tick) {
    return swarm::waitUntil(
        [&] {
            if (tick)
                tick();
            auto t = torrent(id);
            return t && condition(*t);
        },
        timeout, 50ms);
}

std::string addOptions(const std::filesystem::path& savePath, const std::string& more) {
    std::string text = "save_path=" + savePath.string();
    if (!more.empty())
        text += "\n" + more;
    return text;
}

std::optional<std::string> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace tevro::test
