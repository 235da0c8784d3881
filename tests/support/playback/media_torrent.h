#pragma once

// A torrent made at test time of files already on disk (clips made with
// ffmpeg), seeded by a loopback seeder.

#include <filesystem>
#include <memory>
#include <string>

#include <libtorrent/torrent_info.hpp>

#include "tests/support/swarm/seeder.h"

namespace tevro::playback {

class MediaTorrent {
public:
    // A torrent of every file under `folder`/`name`, in path order; the
    // .torrent is written as "<folder>/<name>.torrent". `folder` is the save
    // path a seeder uses.
    static MediaTorrent create(const std::filesystem::path& folder, const std::string& name,
                               int pieceSize = 128 * 1024);

    const std::filesystem::path& savePath() const { return m_savePath; }
    const std::filesystem::path& torrentPath() const { return m_torrentPath; }
    std::shared_ptr<const lt::torrent_info> info() const { return m_info; }

    // Seeds it from its files (no check) on the seeder's session.
    void seed(swarm::Seeder& seeder) const;
    // Connects the seeded copy to a downloader at 127.0.0.1:port.
    void connect(swarm::Seeder& seeder, int port) const;
    int connectedPeers(swarm::Seeder& seeder) const;

private:
    std::filesystem::path m_savePath;
    std::filesystem::path m_torrentPath;
    std::shared_ptr<const lt::torrent_info> m_info;
};

} // namespace tevro::playback
