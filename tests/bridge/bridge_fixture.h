#pragma once

// A real bridge session for tests: created on a state folder with the
// loopback settings text, decoded through the core records, destroyed last.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tevro/bridge/bridge_string.h"
#include "tevro/bridge/torrent_bridge.h"
#include "tevro/core/status_snapshot.h"
#include "tevro/core/torrent_event.h"
#include "tevro/core/torrent_file.h"

namespace tevro::test {

using namespace std::chrono_literals;

class BridgeSession {
public:
    explicit BridgeSession(std::filesystem::path stateDir, std::string settings = {});
    ~BridgeSession();
    BridgeSession(const BridgeSession&) = delete;
    BridgeSession& operator=(const BridgeSession&) = delete;

    tb_session* get() const { return m_session; }
    void destroy();

    // The TCP port the session listens on at 127.0.0.1 (waits for it).
    int port();

    StatusSnapshot status();
    std::optional<TorrentStatus> torrent(const std::string& id);
    std::vector<TorrentFile> files(const std::string& id);
    // Polls the bridge's events and appends them to history().
    const std::vector<TorrentEvent>& pollEvents();
    const std::vector<TorrentEvent>& history() const { return m_history; }
    int countEvents(const std::string& type, const std::string& id = {});

    struct Added {
        std::string id; // empty on failure
        std::string error;
    };
    Added addTorrent(const std::filesystem::path& path, const std::string& options);
    Added addMagnet(const std::string& uri, const std::string& options);

    // Polls the torrent's status until `condition` holds; `tick` runs every
    // round (e.g. a seeder reconnecting).
    bool waitFor(const std::string& id, const std::function<bool(const TorrentStatus&)>& condition,
                 std::chrono::milliseconds timeout, const std::function<void()>& tick = {});

private:
    std::filesystem::path m_dir;
    tb_session* m_session = nullptr;
    std::vector<TorrentEvent> m_history;
};

// "save_path=<path>" plus any further option lines.
std::string addOptions(const std::filesystem::path& savePath, const std::string& more = {});

// The whole file, or nothing when it cannot be read.
std::optional<std::string> fileBytes(const std::filesystem::path& path);

} // namespace tevro::test
