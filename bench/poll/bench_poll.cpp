// Times the engine's poll with many torrents in the session: the bridge's
// status report, decoding it, and applying it on the main thread.
//   scripts/bench poll [--torrents N] [--polls N]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "tevro/core/storage.h"
#include "tevro/engine/torrent_engine.h"

using namespace tevro;

namespace {

struct Stats {
    double median = 0, worst = 0;
};

Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2] * 1000.0, v.back() * 1000.0};
}

void spin(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 120000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    int torrents = 1000, polls = 30;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--torrents"))
            torrents = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--polls"))
            polls = std::atoi(argv[++i]);
    }
    QCoreApplication app(argc, argv);
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/tevro-bench-poll-XXXXXX";
    fs::path dir = mkdtemp(pattern);
    // Loopback only: nothing reaches the network.
    Storage::save(Json{{"dht", false},
                       {"lsd", false},
                       {"upnp", false},
                       {"autoTrackers", false},
                       {"trackerMirrors", false},
                       {"ipv6", false}},
                  dir / Storage::kSettingsFile);
    {
        TorrentEngine::Options options;
        options.dataFolder = dir;
        options.refreshTrackersAtStart = false;
        TorrentEngine engine(options);
        std::mt19937_64 rng(7);
        for (int i = 0; i < torrents; ++i) {
            char hash[41];
            std::snprintf(hash, sizeof hash, "%016llx%016llx%08x",
                          static_cast<unsigned long long>(rng()),
                          static_cast<unsigned long long>(rng()), static_cast<unsigned>(rng()));
            std::string magnet =
                std::string("magnet:?xt=urn:btih:") + hash + "&dn=Torrent%20" + std::to_string(i);
            engine.addMagnet(magnet, (dir / "downloads").string(), false, true, false);
        }
        spin([&] { return engine.torrents().size() == static_cast<size_t>(torrents); });

        std::vector<double> bridge, decode, apply;
        QObject::connect(&engine, &TorrentEngine::polled, [&] {
            const auto& t = engine.lastPollTimings();
            bridge.push_back(t.bridge);
            decode.push_back(t.decode);
            apply.push_back(t.apply);
        });
        for (int i = 0; i < polls; ++i) {
            size_t before = bridge.size();
            engine.poll();
            spin([&] { return bridge.size() > before; });
        }
        engine.shutdown();
        Stats b = stats(bridge), d = stats(decode), a = stats(apply);
        std::printf("torrents %zu, polls %zu\n", engine.torrents().size(), bridge.size());
        std::printf("{\"benchmark\":\"poll\",\"torrents\":%zu,\"polls\":%zu,"
                    "\"status_median_ms\":%.3f,\"status_worst_ms\":%.3f,"
                    "\"decode_median_ms\":%.3f,\"decode_worst_ms\":%.3f,"
                    "\"apply_median_ms\":%.3f,\"apply_worst_ms\":%.3f}\n",
                    engine.torrents().size(), bridge.size(), b.median, b.worst, d.median, d.worst,
                    a.median, a.worst);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
