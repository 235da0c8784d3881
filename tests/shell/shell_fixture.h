#pragma once

// A real engine on a temporary data folder that talks only to 127.0.0.1, a
// window state over the same folder, and torrents generated on the spot.

#include <memory>
#include <string>

#include <QApplication>

#include <gtest/gtest.h>

#include "tests/support/qt_app.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tests/support/temp_dir.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/shell/main_ui_state.h"

namespace tevro::test {

inline void ensureWidgetsApp() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "shell-tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

class ShellFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ensureWidgetsApp();
        port = swarm::freeLoopbackPort();
        swarm::writeLoopbackEngineSettings(dir / "home", port, dir / "downloads");
        TorrentEngine::Options o;
        o.dataFolder = dir / "home";
        o.refreshTrackersAtStart = false;
        o.reveal = [this](const std::filesystem::path& p, bool) { revealed.push_back(p); };
        engine = std::make_unique<TorrentEngine>(o);
        ui = std::make_unique<MainUIState>(dir / "home");
    }

    void TearDown() override {
        ui.reset();
        engine.reset();
    }

    // A generated torrent (one video and a text file) added paused unless `paused` is false.
    // With `seeded` the files are already complete in the torrent's folder.
    std::string add(const std::string& name, std::int64_t size = 256 * 1024, bool paused = true,
                    bool seeded = false) {
        swarm::GeneratedTorrent::Options o;
        o.name = name;
        o.files = {{name + "/" + name + ".mkv", size}, {name + "/notes.txt", 1000}};
        o.seed = std::uint32_t(++made);
        auto torrent = swarm::GeneratedTorrent::create(dir / ("seed-" + std::to_string(made)), o);
        generated.push_back(torrent);
        auto save = seeded ? torrent.savePath() : dir / "downloads";
        auto result =
            engine->addTorrent(torrent.torrentPath(), save.string(), std::nullopt, paused, false);
        EXPECT_TRUE(result.has_value()) << name;
        std::string id = result ? result->id : std::string();
        EXPECT_TRUE(waitUntil([&] { return engine->torrent(id).has_value(); }));
        return id;
    }

    TempDir dir;
    int port = 0;
    int made = 0;
    std::unique_ptr<TorrentEngine> engine;
    std::unique_ptr<MainUIState> ui;
    std::vector<std::filesystem::path> revealed;
    std::vector<swarm::GeneratedTorrent> generated;
};

} // namespace tevro::test
