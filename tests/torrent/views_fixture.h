#pragma once

// A real engine on a temporary data folder that talks only to 127.0.0.1, a
// loopback seeder and generated torrents, for the torrent views' tests.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/temp_dir.h"
#include "tevro/core/torrent_file.h"
#include "tevro/engine/torrent_engine.h"

class QWidget;

namespace tevro::test {

// A QApplication for widgets (before any QCoreApplication is made).
void ensureWidgetApp();

class ViewsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // (Re)starts the engine on the same data folder.
    TorrentEngine& startEngine();
    void stopEngine();
    TorrentEngine& engine() { return *m_engine; }
    std::string downloads() const { return (dir / "downloads").string(); }

    swarm::GeneratedTorrent makeTorrent(const std::string& name,
                                        const std::vector<swarm::GeneratedFile>& files,
                                        std::uint32_t seed = 1,
                                        const std::vector<std::string>& trackers = {},
                                        bool v1Only = false);
    // Adds and seeds a generated torrent, returns its id once the engine lists it.
    std::string addSeeded(const swarm::GeneratedTorrent& t, bool paused = false);
    // The engine's file list of a torrent (pad files included).
    std::vector<TorrentFile> engineFiles(const std::string& id);
    // Connects the seeder to the engine while waiting for `condition`.
    bool waitConnected(const std::vector<const swarm::GeneratedTorrent*>& torrents,
                       const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = std::chrono::seconds(60));

    TempDir dir;
    int port = 0;
    std::unique_ptr<swarm::Seeder> seeder;
    std::vector<std::pair<std::filesystem::path, bool>> revealed;

private:
    std::unique_ptr<TorrentEngine> m_engine;
};

// Minimizes `window` and restores it, as the window manager would, and waits
// for the hide and show events that come with it.
void minimizeAndRestore(QWidget& window);

// A season of five episodes with subtitles, a sample, an extra and a text file.
std::vector<swarm::GeneratedFile> seasonFiles();

} // namespace tevro::test
