// Test support for the automation end-to-end test: prepares a data folder
// whose engine talks only to 127.0.0.1, makes a torrent of a short
// multi-track clip and a text file, and seeds it on loopback.
//
//   automation_seeder HOME DOWNLOADS WORK
//
// Prints one JSON line {"torrent", "name", "listenPort"}; then each line
// "connect" on standard input connects the seed to the data folder's engine.
// Ends when standard input closes.

#include <cstdio>
#include <iostream>
#include <string>

#include <QCoreApplication>

#include "tests/support/playback/clips.h"
#include "tests/support/playback/media_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tests/support/swarm/seeder.h"
#include "tevro/core/json_value.h"

using namespace tevro;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: automation_seeder HOME DOWNLOADS WORK\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    fs::path home = argv[1], downloads = argv[2], work = argv[3];
    int listenPort = swarm::freeLoopbackPort();
    swarm::writeLoopbackEngineSettings(home, listenPort, downloads);

    const std::string name = "Show";
    fs::create_directories(work / name);
    if (!playback::makeMultiTrackVideo(work / name / "Episode.mkv", 6)) {
        std::fprintf(stderr, "automation_seeder: ffmpeg failed\n");
        return 1;
    }
    std::FILE* notes = std::fopen((work / name / "notes.txt").c_str(), "w");
    std::fputs("notes\n", notes);
    std::fclose(notes);
    auto torrent = playback::MediaTorrent::create(work, name, 64 * 1024);
    swarm::Seeder seeder;
    torrent.seed(seeder);

    Json ready = {
        {"torrent", torrent.torrentPath().string()}, {"name", name}, {"listenPort", listenPort}};
    std::cout << ready.dump() << std::endl;
    std::string line;
    while (std::getline(std::cin, line))
        if (line == "connect")
            torrent.connect(seeder, listenPort);
    return 0;
}
