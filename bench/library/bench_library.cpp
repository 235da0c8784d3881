// The library's grid and list over one model of N torrents, fed status
// updates in which 5 % of the torrents change. Times, on the main thread,
// one update (the model's diff plus the repaint of what is on screen) and
// the first layout and paint of a full window.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "shots/library/sample_torrents.h"
#include "tevro/library/library_context.h"
#include "tevro/library/library_item_view.h"
#include "tevro/library/library_style.h"
#include "tevro/library/torrent_grid_view.h"
#include "tevro/library/torrent_list_model.h"
#include "tevro/library/torrent_row_view.h"
#include "tevro/media/artwork_store.h"

using namespace tevro;

namespace {

struct Stats {
    double median = 0;
    double worst = 0;
};

Stats stats(std::vector<double> v) {
    if (v.empty())
        return {};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.back()};
}

double ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

// Everything the posted events of one update lead to: repaints, and the
// pictures and piece maps the painted items ask for.
void drain() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

struct Figures {
    double firstPaint = 0;
    Stats update;
    Stats diff;
};

Figures run(LibraryItemView& view, std::vector<TorrentStatus> torrents, int updates) {
    Figures f;
    QElapsedTimer timer;
    timer.start();
    TorrentListModel model;
    model.setTorrents(torrents);
    view.setTorrentModel(&model);
    view.resize(1280, 800);
    view.show();
    view.doItemsLayout();
    view.viewport()->repaint();
    f.firstPaint = ms(timer);
    drain(); // the first pictures and maps arrive

    std::vector<double> update, diff;
    for (int step = 0; step < updates; ++step) {
        sample::advance(torrents, 0.05, std::uint32_t(step + 1));
        timer.restart();
        model.setTorrents(torrents);
        diff.push_back(ms(timer));
        drain();
        update.push_back(ms(timer));
    }
    view.hide();
    view.setModel(nullptr);
    f.update = stats(update);
    f.diff = stats(diff);
    return f;
}

} // namespace

int main(int argc, char** argv) {
    int torrents = 1000;
    int updates = 200;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--torrents"))
            torrents = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--updates"))
            updates = std::max(1, std::atoi(argv[++i]));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    LibraryStyle::apply(app);

    // Pictures on disk for one torrent in ten, as a library that has been
    // open for a while; piece maps made on request.
    const std::vector<TorrentStatus> library = sample::library(torrents, 11);
    QTemporaryDir cache;
    for (std::size_t i = 0; i < library.size(); i += 10)
        sample::frame(std::uint32_t(i))
            .save(QDir(cache.path())
                      .filePath(QString::fromStdString(
                          ArtworkStore::cacheKey(library[i].id, std::nullopt) + ".jpg")),
                  "JPG", 90);
    ArtworkStore store({.files = {},
                        .videos = {},
                        .directory = cache.path().toStdString(),
                        .extractor = "/nonexistent"});
    LibraryContext::setArtworkStore(&store);
    LibraryContext::setPieceMapSource(
        [&library](const std::string& id, std::function<void(PieceMap)> done) {
            for (const TorrentStatus& t : library)
                if (t.id == id)
                    return done(sample::pieces(t, 800));
            done(PieceMap());
        });

    TorrentGridView grid;
    const Figures g = run(grid, library, updates);
    TorrentRowView list;
    const Figures l = run(list, library, updates);

    std::printf("grid: first paint %.1f ms, update median %.2f ms, worst %.2f ms\n", g.firstPaint,
                g.update.median, g.update.worst);
    std::printf("list: first paint %.1f ms, update median %.2f ms, worst %.2f ms\n", l.firstPaint,
                l.update.median, l.update.worst);
    std::printf("{\"benchmark\":\"library\",\"torrents\":%d,\"updates\":%d,\"changed_share\":0.05,"
                "\"grid_first_paint_ms\":%.2f,\"grid_update_median_ms\":%.3f,"
                "\"grid_update_worst_ms\":%.3f,\"grid_diff_median_ms\":%.3f,"
                "\"list_first_paint_ms\":%.2f,\"list_update_median_ms\":%.3f,"
                "\"list_update_worst_ms\":%.3f,\"list_diff_median_ms\":%.3f}\n",
                torrents, updates, g.firstPaint, g.update.median, g.update.worst, g.diff.median,
                l.firstPaint, l.update.median, l.update.worst, l.diff.median);
    return 0;
}
