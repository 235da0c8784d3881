#pragma once

// A real engine on loopback for the library's widget tests, with torrents
// generated at test time: seeding from their own files, or downloading from
// a throttled loopback seeder.

#include <functional>
#include <memory>
#include <string>

#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/temp_dir.h"
#include "tevro/engine/torrent_engine.h"

namespace tevro::test {

class LibraryEngine {
public:
    LibraryEngine();
    ~LibraryEngine();

    TorrentEngine& engine() { return *m_engine; }

    swarm::GeneratedTorrent make(const std::string& name, std::vector<swarm::GeneratedFile> files,
                                 std::uint32_t seed = 1);
    // Added over its own files: checked, then seeding.
    TorrentStatus addSeeding(const swarm::GeneratedTorrent& torrent);
    // Added into an empty folder, fed slowly by the seeder.
    TorrentStatus addDownloading(const swarm::GeneratedTorrent& torrent);
    // The record once `condition` holds (fails the test after 30 s).
    TorrentStatus waitFor(const std::string& id,
                          const std::function<bool(const TorrentStatus&)>& condition);

private:
    TempDir m_dir;
    int m_port = 0;
    std::unique_ptr<swarm::Seeder> m_seeder;
    std::unique_ptr<TorrentEngine> m_engine;
};

} // namespace tevro::test
