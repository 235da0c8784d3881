// Draws the torrent views on a real engine (temporary data folder, a season
// downloading from a loopback seeder, a loopback tracker): the add and magnet
// sheets, the files view, each detail tab, the limits sheet and the contents
// page in both layouts, and again for a torrent whose name is 200 characters
// long, as PNGs in the folder given as the first argument.

#include <filesystem>
#include <iostream>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeView>

#include "tests/support/qt_app.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tests/support/swarm/seeder.h"
#include "tests/torrent/loopback_tracker.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_context.h"
#include "tevro/library/library_style.h"
#include "tevro/media/file_tree.h"
#include "tevro/torrent/add_torrent_sheet.h"
#include "tevro/torrent/detail_pane.h"
#include "tevro/torrent/file_tree_model.h"
#include "tevro/torrent/files_view.h"
#include "tevro/torrent/info_view.h"
#include "tevro/torrent/limits_sheet.h"
#include "tevro/torrent/magnet_sheet.h"
#include "tevro/torrent/torrent_contents_view.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

QString g_out;
int g_written = 0;

void settle(std::chrono::milliseconds time = 300ms) {
    test::spinFor(time);
}

void save(QWidget& w, const QString& name) {
    w.show();
    w.raise();
    settle();
    const QString path = QDir(g_out).filePath(name + QStringLiteral(".png"));
    if (w.grab().save(path))
        ++g_written;
    else
        std::cerr << "could not write " << path.toStdString() << "\n";
}

std::vector<swarm::GeneratedFile> season() {
    std::vector<swarm::GeneratedFile> files;
    for (int e = 1; e <= 8; ++e)
        files.push_back(
            {"Severance.S01E0" + std::to_string(e) + ".1080p.WEB-DL.mkv", (3 + e % 3) << 20});
    files.push_back({"Subs/Severance.S01E01.ru.srt", 40000});
    files.push_back({"Subs/Severance.S01E02.ru.srt", 41000});
    files.push_back({"Extras/Featurette.mkv", 2 << 20});
    files.push_back({"Severance.S01E01.sample.mkv", 300000});
    files.push_back({"readme.txt", 900});
    return files;
}

// A name of exactly 200 characters, without a space to break at.
std::string longName() {
    std::string name = "The.Extraordinarily.Long.Named.Series.Complete.Collection.Directors.Cut."
                       "Remastered.Extended.Edition.With.Every.Bonus.Feature.And.Commentary.";
    while (name.size() < 190)
        name += "Track.";
    name.resize(190);
    return name + ".1080p.WEB";
}

std::vector<swarm::GeneratedFile> longSeason(const std::string& name) {
    std::vector<swarm::GeneratedFile> files;
    for (int e = 1; e <= 3; ++e)
        files.push_back({name.substr(0, 180) + ".S01E0" + std::to_string(e) + ".mkv", 1 << 20});
    files.push_back({"Subs/" + name.substr(0, 180) + ".S01E01.srt", 30000});
    return files;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    LibraryStyle::apply(app);
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(g_out);

    QTemporaryDir tmp;
    fs::path dir = tmp.path().toStdString();
    int port = swarm::freeLoopbackPort();
    swarm::writeLoopbackEngineSettings(dir / "home", port, dir / "downloads");
    TorrentEngine::Options options;
    options.dataFolder = dir / "home";
    options.refreshTrackersAtStart = false;
    TorrentEngine engine(options);
    LibraryContext::setEngine(&engine);

    test::LoopbackTracker tracker;
    swarm::GeneratedTorrent::Options o;
    o.name = "Severance.S01.1080p.WEB-DL";
    o.files = season();
    o.pieceSize = 256 * 1024;
    o.trackers = {tracker.url("/announce")};
    auto torrent = swarm::GeneratedTorrent::create(dir / "seed", o);
    swarm::Seeder seeder;
    seeder.seed(torrent);
    seeder.setUploadLimit(3 << 20);

    // The add sheet before the torrent is in the engine.
    {
        AddTorrentSheet sheet(engine, torrent.torrentPath());
        sheet.show();
        test::waitUntil([&] { return sheet.preview().has_value(); });
        for (const FileNode& n : FileTree::flatten(sheet.tree()))
            if (n.name == "Extras" || n.name == "readme.txt")
                sheet.set({n.id}, sheet.tree(), false);
        sheet.treeView()->expandAll();
        save(sheet, "torrent-add-sheet");
    }
    {
        MagnetSheet sheet(engine, QString::fromStdString(torrent.magnet()));
        save(sheet, "torrent-magnet-sheet");
    }

    auto added = engine.addTorrent(torrent.torrentPath(), (dir / "downloads").string(),
                                   std::nullopt, false, false);
    if (!added) {
        std::cerr << added.error().message << "\n";
        return 1;
    }
    std::string id = added->id;
    test::waitUntil(
        [&] {
            seeder.connect(torrent, port);
            auto t = engine.torrent(id);
            return t && t->progress > 0.45;
        },
        60s);
    seeder.setUploadLimit(400000);
    engine.setPriority(id, {10}, FilePriority::skip);
    engine.setPriority(id, {2}, FilePriority::high);
    settle(1500ms);

    {
        DetailPane pane(engine, true);
        pane.resize(900, 460);
        pane.setTorrentID(QString::fromStdString(id));
        pane.show();
        test::waitUntil([&] { return pane.filesView()->loaded(); });
        pane.filesView()->treeView()->expandAll();
        save(pane, "torrent-files-view");
        for (auto [tab, name] : {std::pair{DetailPane::Tab::info, "torrent-detail-info"},
                                 {DetailPane::Tab::peers, "torrent-detail-peers"},
                                 {DetailPane::Tab::trackers, "torrent-detail-trackers"}}) {
            pane.setTab(tab);
            settle(2500ms);
            save(pane, name);
        }
        LimitsSheet* limits = pane.infoView()->showLimits();
        settle();
        save(*limits, "torrent-limits-sheet");
        limits->reject();
    }
    {
        // A torrent the engine does not hold: the tabs' empty states.
        DetailPane pane(engine, true);
        pane.resize(900, 300);
        pane.setTorrentID(QStringLiteral("0000000000000000000000000000000000000000"));
        pane.setTab(DetailPane::Tab::files);
        pane.show();
        test::waitUntil([&] { return pane.filesView()->loaded(); });
        settle();
        save(pane, "torrent-files-empty");
        pane.setTab(DetailPane::Tab::peers);
        settle(1500ms);
        save(pane, "torrent-peers-empty");
    }
    {
        TorrentContentsView page(engine);
        page.resize(1100, 860);
        page.setTorrent(*engine.torrent(id));
        page.show();
        test::waitUntil([&] { return page.loaded(); });
        QObject::connect(&engine, &TorrentEngine::torrentsChanged, &page,
                         [&] { page.setTorrent(*engine.torrent(id)); });
        settle(1500ms);
        save(page, "torrent-contents-tiles");
        page.setCompact(true);
        save(page, "torrent-contents-list");
        page.setAllFiles(true);
        settle(1000ms);
        save(page, "torrent-contents-all-files");
        page.setAllFiles(false);
        page.setQuery("серия 3");
        save(page, "torrent-contents-search");
        if (QDialog* info = page.showInfo()) {
            settle(1500ms);
            save(*info, "torrent-contents-info");
            info->reject();
        }
    }
    {
        // A 200-character name everywhere it shows.
        swarm::GeneratedTorrent::Options lo;
        lo.name = longName();
        lo.files = longSeason(lo.name);
        lo.pieceSize = 64 * 1024;
        lo.trackers = {tracker.url("/announce/" + std::string(150, 'x'))};
        auto wordy = swarm::GeneratedTorrent::create(dir / "seed-long", lo);
        {
            AddTorrentSheet sheet(engine, wordy.torrentPath());
            sheet.show();
            test::waitUntil([&] { return sheet.preview().has_value(); });
            sheet.treeView()->expandAll();
            save(sheet, "torrent-add-sheet-long");
        }
        {
            MagnetSheet sheet(engine, QString::fromStdString(wordy.magnet()));
            // Chosen after opening: the sheet fills its folder when it opens.
            sheet.show();
            sheet.setSavePath(QString::fromStdString((dir / "downloads" / lo.name).string()));
            save(sheet, "torrent-magnet-sheet-long");
        }
        seeder.seed(wordy);
        const fs::path folder = dir / "downloads" / std::string(120, 'f');
        auto longAdded =
            engine.addTorrent(wordy.torrentPath(), folder.string(), std::nullopt, false, false);
        if (!longAdded) {
            std::cerr << longAdded.error().message << "\n";
            return 1;
        }
        std::string longID = longAdded->id;
        test::waitUntil(
            [&] {
                seeder.connect(wordy, port);
                auto t = engine.torrent(longID);
                return t && t->progress > 0.3 && !t->tracker.empty();
            },
            60s);
        {
            DetailPane pane(engine, true);
            pane.resize(900, 460);
            pane.setTorrentID(QString::fromStdString(longID));
            pane.show();
            test::waitUntil([&] { return pane.filesView()->loaded(); });
            pane.filesView()->treeView()->expandAll();
            save(pane, "torrent-files-view-long");
            pane.setTab(DetailPane::Tab::info);
            settle(1500ms);
            save(pane, "torrent-detail-info-long");
            pane.setTab(DetailPane::Tab::trackers);
            settle(1500ms);
            save(pane, "torrent-detail-trackers-long");
            LimitsSheet* limits = pane.infoView()->showLimits();
            settle();
            save(*limits, "torrent-limits-sheet-long");
            limits->reject();
        }
        {
            TorrentContentsView page(engine);
            page.resize(900, 700);
            page.setTorrent(*engine.torrent(longID));
            page.show();
            test::waitUntil([&] { return page.loaded(); });
            settle(1000ms);
            save(page, "torrent-contents-tiles-long");
            page.setCompact(true);
            save(page, "torrent-contents-list-long");
        }
    }
    engine.shutdown();
    std::cout << "wrote " << g_written << " pictures to " << g_out.toStdString() << "\n";
    return g_written > 0 ? 0 : 1;
}
