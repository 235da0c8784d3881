// Download throughput through the bridge: one seeder session on 127.0.0.1
// seeds a generated file of N MiB; a bridge session downloads it.
//   scripts/bench swarm [--size-mib N]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

bool seeding(tb_session* s) {
    auto status = nlohmann::json::parse(tevro::BridgeString(tb_status_json(s)).view());
    return !status["torrents"].empty() && status["torrents"][0]["seeding"].get<bool>();
}

} // namespace

int main(int argc, char** argv) {
    int sizeMiB = 256;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--size-mib") == 0)
            sizeMiB = std::max(1, std::atoi(argv[++i]));

    tevro::swarm::ScratchFolder dir;
    tevro::swarm::GeneratedTorrent::Options options;
    options.name = "swarm";
    options.files = {{"payload.bin", static_cast<std::int64_t>(sizeMiB) << 20}};
    options.pieceSize = sizeMiB >= 256 ? 1 << 20 : 256 * 1024;
    std::fprintf(stderr, "generating %d MiB...\n", sizeMiB);
    auto torrent = tevro::swarm::GeneratedTorrent::create(dir / "seed", options);

    tevro::swarm::Seeder seeder;
    seeder.seed(torrent);
    tb_session* session =
        tb_session_create((dir / "state").c_str(), tevro::swarm::loopbackSettingsText().c_str());
    int port = tevro::swarm::bridgeListenPort(session);

    auto start = Clock::now();
    std::string opts = "save_path=" + (dir / "download").string();
    tevro::BridgeString id(
        tb_add_torrent(session, torrent.torrentPath().c_str(), opts.c_str(), nullptr));
    bool done = tevro::swarm::waitUntil(
        [&] {
            seeder.connect(torrent, port);
            return seeding(session);
        },
        std::chrono::minutes(30), 5ms);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    tb_session_destroy(session);
    if (!done) {
        std::fprintf(stderr, "download did not finish\n");
        return 1;
    }
    nlohmann::json figures = {{"benchmark", "swarm"},
                              {"sizeMiB", sizeMiB},
                              {"pieceKiB", options.pieceSize / 1024},
                              {"seconds", seconds},
                              {"mibPerSecond", sizeMiB / seconds}};
    std::printf("%s\n", figures.dump().c_str());
    return 0;
}
