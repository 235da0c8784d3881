#pragma once

// What the player's widget tests share: one engine and throttled loopback
// seeder for the whole program, serving a season of two episodes (the first
// 150 s long), an MKV with two audio and two subtitle tracks, and a season of
// two short episodes with long names and long audio titles; and a player
// model with its window, made fresh for each test.

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/playback/player_rig.h"
#include "tests/support/temp_dir.h"
#include "tevro/core/torrent_file.h"
#include "tevro/player/player_model.h"
#include "tevro/player/player_window.h"

namespace tevro::test {

struct WindowRig {
    TempDir dir;
    std::unique_ptr<playback::PlayerRig> rig;
    std::string seasonID;
    std::string tracksID;
    std::string longID;
    TorrentFile firstEpisode;
    TorrentFile secondEpisode;
    TorrentFile tracks;
    TorrentFile longEpisode;
    std::string longAudioTitle;
};

// Made on first use (clips, torrents, seeding); nothing when ffmpeg failed.
WindowRig* windowRig();
// Drops it; the program's environment calls this at the end.
void dropWindowRig();

class PlayerWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens and waits for the open's file-list fetch.
    void open(const std::string& id, const TorrentFile& file);
    // Waits until the file plays past `seconds`.
    bool playing(double seconds = 1.0);
    std::string state() const;

    WindowRig* shared = nullptr;
    std::unique_ptr<PlayerModel> model;
    std::unique_ptr<PlayerWindow> window;
};

} // namespace tevro::test
