// Streaming start-up through the bridge's reader: seeders on 127.0.0.1
// sending L MiB/s between them, nothing downloaded yet. Measures the time
// until the first 4 MiB of the file are read, then the time to read 4 MiB
// after a seek to the middle, each against its bandwidth bound.
//   scripts/bench stream [--size-mib N] [--limit-mib L] [--seeders K] [--piece-kib P]

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/swarm/bench_folder.h"
#include "tests/support/swarm/bridge_listen_port.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_tracker.h"
#include "tests/support/swarm/seeder.h"
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

// Payload bytes the bridge has received so far, from its peers' counts (the
// torrent's own count moves only once a second).
std::int64_t received(tb_session* session, const char* id) {
    std::int64_t sum = 0;
    for (const auto& p :
         nlohmann::json::parse(tevro::BridgeString(tb_peers_json(session, id)).view()))
        sum += p["downloaded"].get<std::int64_t>();
    return sum;
}

} // namespace

int main(int argc, char** argv) {
    int sizeMiB = 64, limitMiB = 8, seeders = 1, pieceKiB = 512;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--size-mib") == 0)
            sizeMiB = std::max(16, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--limit-mib") == 0)
            limitMiB = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--seeders") == 0)
            seeders = std::clamp(std::atoi(argv[++i]), 1, 16);
        else if (std::strcmp(argv[i], "--piece-kib") == 0)
            pieceKiB = std::clamp(std::atoi(argv[++i]), 16, 16384);
    }

    tevro::swarm::ScratchFolder dir;
    // The same total rate, split evenly. The downloader finds the seeders
    // through a tracker on 127.0.0.1 and dials them at once, as in a swarm.
    std::vector<std::unique_ptr<tevro::swarm::Seeder>> seeds;
    std::vector<int> ports;
    for (int i = 0; i < seeders; ++i) {
        seeds.push_back(std::make_unique<tevro::swarm::Seeder>());
        seeds.back()->setUploadLimit((limitMiB << 20) / seeders);
        ports.push_back(seeds.back()->port());
    }
    tevro::swarm::LoopbackTracker tracker(ports);
    tevro::swarm::GeneratedTorrent::Options options;
    options.name = "stream";
    options.files = {{"movie.mkv", static_cast<std::int64_t>(sizeMiB) << 20}};
    options.pieceSize = pieceKiB * 1024;
    options.trackers = {tracker.url()};
    auto torrent = tevro::swarm::GeneratedTorrent::create(dir / "seed", options);
    std::string expected = torrent.expectedBytes(0);
    for (auto& s : seeds)
        s->seed(torrent);

    tb_session* session =
        tb_session_create((dir / "state").c_str(), tevro::swarm::loopbackSettingsText().c_str());
    tevro::swarm::bridgeListenPort(session);
    std::string opts = "save_path=" + (dir / "download").string();
    tevro::BridgeString id(
        tb_add_torrent(session, torrent.torrentPath().c_str(), opts.c_str(), nullptr));
    std::atomic<bool> stop{false};

    // Connecting (until the first payload byte arrives) is part of a cold
    // start; its time is reported apart and counted in the bound.
    auto opened = Clock::now();
    std::atomic<double> connectSeconds{-1};
    std::thread watcher([&] {
        tevro::swarm::waitUntil([&] { return stop || received(session, id.get()) > 0; }, 60s, 2ms);
        connectSeconds = std::chrono::duration<double>(Clock::now() - opened).count();
    });

    tb_reader* reader = tb_reader_open(session, id.get(), 0);
    double first = reader ? timedRead(reader, 0, expected) : -1;
    double afterSeek = reader ? timedRead(reader, expected.size() / 2, expected) : -1;
    tb_reader_close(reader);
    stop = true;
    watcher.join();
    tb_session_destroy(session);
    if (first < 0 || afterSeek < 0) {
        std::fprintf(stderr, "reading failed\n");
        return 1;
    }
    double rate = static_cast<double>(limitMiB) * (1 << 20);
    double transfer = static_cast<double>(kSpan) / rate;
    double firstBound = connectSeconds.load() + transfer;
    nlohmann::json figures = {{"benchmark", "stream"},
                              {"fileMiB", sizeMiB},
                              {"seederMiBps", limitMiB},
                              {"seeders", seeders},
                              {"pieceKiB", pieceKiB},
                              {"connectSeconds", connectSeconds.load()},
                              {"first4MiBSeconds", first},
                              {"first4MiBBoundSeconds", firstBound},
                              {"first4MiBRatio", first / firstBound},
                              {"seek4MiBSeconds", afterSeek},
                              {"seek4MiBBoundSeconds", transfer},
                              {"seek4MiBRatio", afterSeek / transfer}};
    std::printf("%s\n", figures.dump().c_str());
    return 0;
}
