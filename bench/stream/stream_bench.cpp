// Streaming start-up through the bridge's reader: a seeder on 127.0.0.1
// limited to 8 MiB/s, nothing downloaded yet. Measures the time until the
// first 4 MiB of the file are read, then the time to read 4 MiB after a seek
// to the middle.
//   scripts/bench stream [--size-mib N] [--limit-mib L]

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "tests/support/swarm/bench_folder.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/swarm/bridge_listen_port.h"
#include "tests/support/swarm/wait_until.h"
#include "tevro/bridge/bridge_string.h"
#include "tevro/bridge/torrent_bridge.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::int64_t kSpan = 4 << 20;

// Reads kSpan bytes from `offset`, checking them; seconds taken, or -1.
double timedRead(tb_reader* r, std::int64_t offset, const std::string& expected) {
    auto start = Clock::now();
    if (tb_reader_seek(r, offset) != offset)
        return -1;
    std::string buf(1 << 20, '\0');
    std::int64_t done = 0;
    while (done < kSpan) {
        std::int64_t n = tb_reader_read(r, buf.data(), buf.size());
        if (n <= 0 || std::memcmp(buf.data(), expected.data() + offset + done,
                                  static_cast<std::size_t>(n)) != 0)
            return -1;
        done += n;
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    int sizeMiB = 64, limitMiB = 8;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--size-mib") == 0)
            sizeMiB = std::max(16, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--limit-mib") == 0)
            limitMiB = std::max(1, std::atoi(argv[++i]));
    }

    tevro::swarm::ScratchFolder dir;
    tevro::swarm::GeneratedTorrent::Options options;
    options.name = "stream";
    options.files = {{"movie.mkv", static_cast<std::int64_t>(sizeMiB) << 20}};
    options.pieceSize = 512 * 1024;
    auto torrent = tevro::swarm::GeneratedTorrent::create(dir / "seed", options);
    std::string expected = torrent.expectedBytes(0);

    tevro::swarm::Seeder seeder;
    seeder.setUploadLimit(limitMiB << 20);
    seeder.seed(torrent);
    tb_session* session =
        tb_session_create((dir / "state").c_str(), tevro::swarm::loopbackSettingsText().c_str());
    int port = tevro::swarm::bridgeListenPort(session);
    std::string opts = "save_path=" + (dir / "download").string();
    tevro::BridgeString id(
        tb_add_torrent(session, torrent.torrentPath().c_str(), opts.c_str(), nullptr));

    std::atomic<bool> stop{false};
    std::thread connector([&] {
        while (!stop) {
            seeder.connect(torrent, port);
            tevro::swarm::waitUntil([&] { return stop.load(); }, 100ms);
        }
    });

    // The seeder's connection is part of a cold start; its time is reported apart.
    auto opened = Clock::now();
    std::atomic<double> connectSeconds{-1};
    std::thread watcher([&] {
        tevro::swarm::waitUntil(
            [&] {
                auto st =
                    nlohmann::json::parse(tevro::BridgeString(tb_status_json(session)).view());
                return stop || st["torrents"][0]["seeds"].get<int>() == 1;
            },
            60s, 10ms);
        connectSeconds = std::chrono::duration<double>(Clock::now() - opened).count();
    });

    tb_reader* reader = tb_reader_open(session, id.get(), 0);
    double first = reader ? timedRead(reader, 0, expected) : -1;
    double afterSeek = reader ? timedRead(reader, expected.size() / 2, expected) : -1;
    tb_reader_close(reader);
    stop = true;
    connector.join();
    watcher.join();
    tb_session_destroy(session);
    if (first < 0 || afterSeek < 0) {
        std::fprintf(stderr, "reading failed\n");
        return 1;
    }
    nlohmann::json figures = {{"benchmark", "stream"},
                              {"fileMiB", sizeMiB},
                              {"seederMiBps", limitMiB},
                              {"pieceKiB", options.pieceSize / 1024},
                              {"connectSeconds", connectSeconds.load()},
                              {"first4MiBSeconds", first},
                              {"seek4MiBSeconds", afterSeek}};
    std::printf("%s\n", figures.dump().c_str());
    return 0;
}
