// Download throughput through the bridge: one seeder session on 127.0.0.1
// seeds a generated file of N MiB; a bridge session downloads it.
//   scripts/bench swarm [--size-mib N]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/session.hpp>
#include <libtorrent/torrent_info.hpp>
#include <libtorrent/torrent_status.hpp>
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

// The reference: a plain libtorrent session with default settings, kept to
// 127.0.0.1 like the bridge's, downloading the same torrent from the same
// seeder over TCP. Seconds from the add until it seeds, or -1.
double plainDownload(const tevro::swarm::GeneratedTorrent& torrent, tevro::swarm::Seeder& seeder,
                     const std::filesystem::path& savePath) {
    lt::settings_pack pack;
    pack.set_str(lt::settings_pack::listen_interfaces, "127.0.0.1:0");
    pack.set_bool(lt::settings_pack::enable_dht, false);
    pack.set_bool(lt::settings_pack::enable_lsd, false);
    pack.set_bool(lt::settings_pack::enable_upnp, false);
    pack.set_bool(lt::settings_pack::enable_natpmp, false);
    pack.set_bool(lt::settings_pack::enable_incoming_utp, false);
    pack.set_bool(lt::settings_pack::enable_outgoing_utp, false);
    lt::session session(lt::session_params(std::move(pack)));
    tevro::swarm::waitUntil([&] { return session.listen_port() != 0; }, 10s, 5ms);
    lt::add_torrent_params params;
    params.ti = std::make_shared<lt::torrent_info>(*torrent.info());
    params.save_path = savePath.string();
    auto start = Clock::now();
    lt::torrent_handle h = session.add_torrent(std::move(params));
    bool done = tevro::swarm::waitUntil(
        [&] {
            seeder.connect(torrent, session.listen_port());
            return h.status().is_seeding;
        },
        std::chrono::minutes(30), 5ms);
    return done ? std::chrono::duration<double>(Clock::now() - start).count() : -1;
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
    double reference = done ? plainDownload(torrent, seeder, dir / "reference") : -1;
    if (!done || reference < 0) {
        std::fprintf(stderr, "download did not finish\n");
        return 1;
    }
    nlohmann::json figures = {{"benchmark", "swarm"},
                              {"sizeMiB", sizeMiB},
                              {"pieceKiB", options.pieceSize / 1024},
                              {"seconds", seconds},
                              {"mibPerSecond", sizeMiB / seconds},
                              {"referenceSeconds", reference},
                              {"referenceMiBPerSecond", sizeMiB / reference},
                              {"ratio", reference / seconds}};
    std::printf("%s\n", figures.dump().c_str());
    return 0;
}
