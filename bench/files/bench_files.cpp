// scripts/bench files [--files N] [--runs N]
//
// A torrent of N files (default 10000) in nested folders, made at run time.
// Times opening the add sheet until its tree is built, and the main-thread
// work of one files-view refresh in which 1 % of the files changed.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "tests/support/qt_app.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/torrent/add_torrent_sheet.h"
#include "tevro/torrent/file_tree_model.h"
#include "tevro/torrent/files_view.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

double median(std::vector<double> v) {
    std::ranges::sort(v);
    return v.empty() ? 0 : v[v.size() / 2];
}

double worst(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::ranges::max_element(v);
}

} // namespace

int main(int argc, char** argv) {
    int fileCount = 10000;
    int runs = 7;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--files"))
            fileCount = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--runs"))
            runs = std::max(1, std::atoi(argv[++i]));
    }
    // No display of its own: the views draw offscreen unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    fs::path dir = tmp.path().toStdString();

    // Seasons of shows in folders three deep, with subtitles beside the videos.
    swarm::GeneratedTorrent::Options o;
    o.name = "Archive";
    o.pieceSize = 1 << 20;
    o.v1Only = true;
    for (int i = 0; i < fileCount; ++i) {
        std::string folder = "Show " + std::to_string(i / 400) + "/Season " +
                             std::to_string(i / 40 % 10) + "/Disc " + std::to_string(i / 10 % 4);
        std::string name = i % 5 == 4 ? "Episode." + std::to_string(i) + ".srt"
                                      : "Episode." + std::to_string(i) + ".mkv";
        o.files.push_back({folder + "/" + name, 1000 + i % 7});
    }
    auto torrent = swarm::GeneratedTorrent::create(dir / "seed", o);

    int port = swarm::freeLoopbackPort();
    swarm::writeLoopbackEngineSettings(dir / "home", port, dir / "downloads");
    TorrentEngine::Options options;
    options.dataFolder = dir / "home";
    options.refreshTrackersAtStart = false;
    TorrentEngine engine(options);

    // Opening the add sheet: from construction to the tree in its model.
    std::vector<double> open;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        AddTorrentSheet sheet(engine, torrent.torrentPath());
        sheet.show();
        test::waitUntil([&] { return sheet.model()->nodeCount() > 0; }, 60s);
        open.push_back(timer.nsecsElapsed() / 1e6);
        sheet.hide();
    }

    auto added = engine.addTorrent(torrent.torrentPath(), (dir / "downloads").string(),
                                   std::nullopt, true, false);
    if (!added) {
        std::fprintf(stderr, "%s\n", added.error().message.c_str());
        return 1;
    }
    FilesView view(engine);
    view.resize(900, 600);
    view.setTorrentID(QString::fromStdString(added->id));
    view.show();
    test::waitUntil([&] { return view.loaded() && !view.files().empty(); }, 60s);
    view.setSelection(
        {view.model()->index(0, 0).data(FileTreeModel::NodeIdRole).toString().toStdString()});

    // One refresh pass's main-thread work: 1 % of the files changed.
    std::vector<double> refresh;
    std::vector<TorrentFile> files = view.files();
    int changed = std::max<int>(1, static_cast<int>(files.size()) / 100);
    for (int r = 0; r < runs; ++r) {
        for (int k = 0; k < changed; ++k) {
            TorrentFile& f = files[(static_cast<std::size_t>(k) * 97 + r) % files.size()];
            f.done = std::min(f.size, f.done + 100);
            f.prio = f.prio == 4 ? 7 : 4;
        }
        std::vector<TorrentFile> copy = files;
        QElapsedTimer timer;
        timer.start();
        view.storeFiles(std::move(copy));
        refresh.push_back(timer.nsecsElapsed() / 1e6);
        test::spinFor(20ms);
    }
    engine.shutdown();
    std::printf("files %zu, runs %d\n", view.files().size(), runs);
    std::printf("{\"benchmark\":\"files\",\"files\":%d,\"changed\":%d,"
                "\"open_median_ms\":%.1f,\"open_worst_ms\":%.1f,"
                "\"refresh_median_ms\":%.2f,\"refresh_worst_ms\":%.2f}\n",
                fileCount, changed, median(open), worst(open), median(refresh), worst(refresh));
    return 0;
}
