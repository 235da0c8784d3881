#pragma once

// A real torrent engine on a fresh data folder that talks only to peers on
// 127.0.0.1, a throttled loopback seeder, and the steps that put a media
// torrent between them so a player can stream it.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/playback/media_torrent.h"
#include "tests/support/swarm/seeder.h"
#include "tevro/core/json_value.h"
#include "tevro/core/torrent_file.h"
#include "tevro/engine/torrent_engine.h"

namespace tevro::playback {

class PlayerRig {
public:
    struct Options {
        int uploadLimit = 2 << 20; // bytes/s the seeder sends, 0 unlimited
        // Changes to the settings.json the engine starts with.
        std::function<void(Json&)> settings;
    };

    // The data folder is `folder`/"home"; downloads go to `folder`/"downloads".
    // Needs a QCoreApplication.
    PlayerRig(const std::filesystem::path& folder, Options options);
    ~PlayerRig();

    TorrentEngine& engine() { return *m_engine; }
    swarm::Seeder& seeder() { return *m_seeder; }
    const std::filesystem::path& downloads() const { return m_downloads; }

    // Seeds `torrent`, adds it to the engine (with per-file priorities when
    // given) and, with `connect`, links the seeder to the engine. The id.
    std::string add(const MediaTorrent& torrent,
                    std::optional<std::vector<int>> priorities = std::nullopt, bool connect = true);

    // The torrent's files as the engine lists them.
    std::vector<TorrentFile> files(const std::string& id);

    // The first file whose path ends with `suffix`.
    TorrentFile file(const std::string& id, const std::string& suffix);

private:
    std::filesystem::path m_downloads;
    int m_port = 0;
    std::unique_ptr<swarm::Seeder> m_seeder;
    std::unique_ptr<TorrentEngine> m_engine;
};

} // namespace tevro::playback
