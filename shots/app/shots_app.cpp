// Draws the running application on a generated library: starts Tevro on a
// throw-away data folder, adds torrents of generated clips in several states
// (seeding, downloading from a slow loopback seeder, paused, files missing)
// and writes a PNG of every screen and sheet: shots_app DIR.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QUrl>

#include "tests/support/playback/clips.h"
#include "tests/support/playback/media_torrent.h"
#include "tests/support/qt_app.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tests/support/swarm/seeder.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_style.h"
#include "tevro/media/artwork_store.h"
#include "tevro/shell/application.h"
#include "tevro/shell/library_header.h"
#include "tevro/shell/main_ui_state.h"
#include "tevro/shell/main_view.h"
#include "tevro/shell/main_window.h"
#include "tevro/library/library_item_view.h"
#include "tevro/library/torrent_list_model.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

fs::path gOut;

QSize gSize(1280, 860);

// The screen under the main window, with menus and sheets on top of it.
void shot(const std::string& name) {
    test::spinFor(400ms);
    QScreen* screen = QGuiApplication::primaryScreen();
    QPixmap picture = screen->grabWindow(0, 0, 0, gSize.width(), gSize.height());
    fs::path file = gOut / (std::string("app-") + name + ".png");
    if (!picture.save(QString::fromStdString(file.string())))
        std::fprintf(stderr, "shots_app: could not write %s\n", file.c_str());
}

struct Item {
    std::string name;
    std::vector<std::string> clips; // paths inside the torrent's folder
    std::string other;              // a non-video file instead of clips
};

bool fail(const char* what) {
    std::fprintf(stderr, "shots_app: %s\n", what);
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: shots_app DIR\n");
        return 2;
    }
    gOut = argv[1];
    fs::create_directories(gOut);
    QTemporaryDir scratch;
    fs::path root = scratch.path().toStdString();
    fs::path home = root / "home";
    int port = swarm::freeLoopbackPort();
    swarm::writeLoopbackEngineSettings(home, port, root / "downloads");
    setenv("TEVRO_HOME", home.c_str(), 1);
    setenv("TEVRO_SILENT", "1", 1);
    // The kit's test channel: no offers service off this machine.
    setenv("QUORVEL_TEST_ROOT", (root / "kit").c_str(), 1);

    QApplication qapp(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    LibraryStyle::apply(qapp);

    // The library's files: clips made by ffmpeg, seeded from their own folders.
    std::vector<Item> items = {
        {"Interstellar.2014.1080p.BluRay.x264", {"Interstellar.2014.1080p.BluRay.x264.mkv"}, {}},
        {"Тёмные.начала.S01.1080p",
         {"Тёмные.начала.S01E01.1080p.mkv", "Тёмные.начала.S01E02.1080p.mkv",
          "Тёмные.начала.S01E03.1080p.mkv"},
         {}},
        {"Arrival.2016.2160p.HDR", {"Arrival.2016.2160p.HDR.mkv"}, {}},
        {"Сериал серия 3 (2019) 720p", {"Сериал серия 3 (2019) 720p.mkv"}, {}},
        {"Dune.Part.Two.2024.1080p", {"Dune.Part.Two.2024.1080p.mkv"}, {}},
        {"Ubuntu 24.04 Desktop amd64", {}, "ubuntu-24.04-desktop-amd64.iso"},
        {"Blade.Runner.2049.2017.1080p", {"Blade.Runner.2049.2017.1080p.mkv"}, {}},
    };
    std::vector<playback::MediaTorrent> torrents;
    for (std::size_t i = 0; i < items.size(); ++i) {
        fs::path folder = root / ("seed-" + std::to_string(i));
        fs::create_directories(folder / items[i].name);
        playback::ClipOptions clip;
        clip.seconds = 6;
        clip.noise = i == 2; // the slow download needs bytes to take its time
        clip.width = 480;
        clip.height = 270;
        for (const auto& c : items[i].clips)
            if (!playback::makeVideo(folder / items[i].name / c, clip))
                return fail("ffmpeg could not make a clip") ? 0 : 1;
        if (!items[i].other.empty()) {
            std::string bytes(3 << 20, '\0');
            for (std::size_t b = 0; b < bytes.size(); ++b)
                bytes[b] = char(b * 2654435761u >> 24);
            FILE* f = std::fopen((folder / items[i].name / items[i].other).c_str(), "wb");
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        torrents.push_back(playback::MediaTorrent::create(folder, items[i].name));
    }

    Application app;
    // This program lives in build/*/shots; Glimmet beside the tevro executable.
    app.setFrameExtractor(fs::canonical("/proc/self/exe").parent_path().parent_path() / "bin" /
                          "Helpers" / "Glimmet");
    if (!app.start({}))
        return fail("another Tevro answers on this data folder") ? 0 : 1;
    MainWindow* window = app.mainWindow();
    window->move(0, 0);
    test::spinFor(600ms);
    shot("empty");

    TorrentEngine& engine = app.engine();
    swarm::Seeder slow;
    slow.setUploadLimit(96 * 1024);
    torrents[2].seed(slow);
    std::vector<std::string> ids;
    for (std::size_t i = 0; i < torrents.size(); ++i) {
        bool downloads = i == 2;
        bool paused = i == 4;
        fs::path save = downloads || paused ? root / "downloads" : torrents[i].savePath();
        auto added = engine.addTorrent(torrents[i].torrentPath(), save.string(), std::nullopt,
                                       paused, false);
        if (!added)
            return fail("the engine refused a torrent") ? 0 : 1;
        ids.push_back(added->id);
        test::spinFor(150ms); // distinct "added" times keep "newest" meaningful
    }
    test::waitUntil(
        [&] {
            torrents[2].connect(slow, port);
            int seeding = 0;
            for (const auto& t : engine.torrents())
                seeding += t.seeding;
            return seeding >= 5;
        },
        60s);
    // The last one loses its file on disk and shows the missing-file state.
    fs::remove_all(torrents[6].savePath() / items[6].name);
    test::waitUntil(
        [&] { return engine.torrent(ids[6]) && engine.torrent(ids[6])->state == "missing"; }, 20s);
    // Covers: the artwork store extracts a frame of every video.
    int pending = 0;
    for (const auto& id : ids)
        if (auto t = engine.torrent(id)) {
            ++pending;
            app.artwork()->image(*t, std::nullopt, [&](std::optional<QImage>) { --pending; });
        }
    test::waitUntil([&] { return pending == 0; }, 60s);
    test::waitUntil(
        [&] {
            torrents[2].connect(slow, port);
            auto t = engine.torrent(ids[2]);
            return t && t->displayProgress() > 0.3;
        },
        60s);

    MainView* view = window->view();
    MainUIState& ui = app.ui();
    ui.setSelection({ids[1]});
    shot("grid");
    LibraryPreferences p = ui.preferences();
    p.layout = LibraryLayout::list;
    ui.setPreferences(p);
    shot("list");
    p.layout = LibraryLayout::table;
    ui.setPreferences(p);
    ui.setSelection({ids[0], ids[3]});
    shot("table");
    p.layout = LibraryLayout::grid;
    ui.setPreferences(p);
    ui.setSelection({});
    ui.setFilter(TorrentFilter::completed);
    shot("filter-completed");
    ui.setFilter(TorrentFilter::all);
    ui.setSearch("серия 3");
    shot("search");
    ui.setSearch("");

    // The detail pane under the grid, the contents page of the series and settings.
    ui.setSelection({ids[2]});
    ui.setTab(DetailTab::info);
    ui.setShowDetails(true);
    shot("details");
    ui.setShowDetails(false);
    ui.setOpenedTorrentID(ids[1]);
    test::spinFor(2500ms);
    shot("contents");
    ui.setOpenedTorrentID(std::nullopt);
    ui.setShowSettings(true);
    shot("settings");
    ui.setShowSettings(false);
    ui.setSelection({});

    // The context menu of a selection of two.
    ui.setSelection({ids[0], ids[1]});
    QRect card = view->grid()->visualRect(view->cards()->indexOf(ids[1]));
    QPoint at = view->grid()->viewport()->mapToGlobal(card.center());
    if (QMenu* menu = view->contextMenu(view->contextSelection(ids[0]), window)) {
        menu->popup(at);
        shot("context-menu-selection");
        menu->close();
        delete menu;
    }
    if (QMenu* menu = view->contextMenu({ids[2]}, window)) {
        menu->popup(view->grid()->viewport()->mapToGlobal(
            view->grid()->visualRect(view->cards()->indexOf(ids[2])).center()));
        shot("context-menu");
        menu->close();
        delete menu;
    }
    view->requestRemoval({ids[3]});
    shot("removal");
    if (view->removalDialog())
        view->removalDialog()->reject();
    ui.setSelection({});

    engine.show("Торрент добавлен: Interstellar");
    shot("toast");
    engine.show("");

    // The sheets of the torrent views, fed through the pending opens.
    engine.appendPendingOpen(
        QUrl::fromLocalFile(QString::fromStdString(torrents[1].torrentPath().string()))
            .toString(QUrl::FullyEncoded)
            .toStdString());
    test::spinFor(1500ms);
    shot("add-sheet");
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
            d->reject();
    engine.appendPendingOpen(
        "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=Example");
    shot("magnet-sheet");
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
            d->reject();

    // The longest texts: a 200-character name, the widest status words, the
    // longest toast; and every screen again at the window's minimum size.
    std::string longName =
        "The.Extraordinarily.Long.And.Winding.Title.Of.A.Documentary.Series.About."
        "The.Northern.Lights.Over.The.Arctic.Circle.Filmed.Across.Four.Seasons."
        "Directors.Cut.Remastered.Special.Edition";
    longName.resize(200 - std::string(".2023.1080p").size(), '.');
    longName += ".2023.1080p";
    {
        fs::path folder = root / "seed-long";
        fs::create_directories(folder / longName);
        playback::ClipOptions clip;
        clip.seconds = 4;
        clip.width = 480;
        clip.height = 270;
        if (!playback::makeVideo(folder / longName / "film.mkv", clip))
            return fail("ffmpeg could not make a clip") ? 0 : 1;
        auto t = playback::MediaTorrent::create(folder, longName);
        auto added =
            engine.addTorrent(t.torrentPath(), t.savePath().string(), std::nullopt, false, false);
        if (added)
            ids.push_back(added->id);
        // Every file skipped: "Файлы не выбраны".
        fs::path skipped = root / "seed-none";
        fs::create_directories(skipped / "Nothing.Chosen.2022.720p");
        if (playback::makeVideo(skipped / "Nothing.Chosen.2022.720p" / "clip.mkv", clip)) {
            auto none = playback::MediaTorrent::create(skipped, "Nothing.Chosen.2022.720p");
            (void)engine.addTorrent(none.torrentPath(), (root / "none").string(),
                                    std::vector<int>{0}, false, false);
        }
        // A magnet link nobody answers: "Метаданные".
        (void)engine.addMagnet("magnet:?xt=urn:btih:1123456789abcdef0123456789abcdef01234567&dn="
                               "Waiting.For.Metadata",
                               (root / "downloads").string(), false, false, false);
    }
    test::waitUntil(
        [&] { return engine.torrent(ids.back()) && engine.torrent(ids.back())->seeding; }, 30s);
    const std::string longToast = "«" + longName +
                                  "»: No such file or directory: " + (root / "downloads").string() +
                                  "/" + longName + "/film.mkv";

    gSize = window->minimumSize();
    window->resize(gSize);
    test::spinFor(600ms);
    // Covers of the new torrents.
    for (const auto& t : engine.torrents())
        app.artwork()->image(t, std::nullopt, [](std::optional<QImage>) {});
    test::spinFor(1500ms);
    ui.setSelection({ids.back()});
    shot("min-grid");
    view->gridScroll()->verticalScrollBar()->setValue(
        view->gridScroll()->verticalScrollBar()->maximum());
    shot("min-grid-end");
    p.layout = LibraryLayout::list;
    ui.setPreferences(p);
    shot("min-list");
    p.layout = LibraryLayout::table;
    ui.setPreferences(p);
    ui.setSelection({ids[0], ids[6]});
    shot("min-table");
    p.layout = LibraryLayout::grid;
    ui.setPreferences(p);
    ui.setSelection({ids.back()});
    ui.setTab(DetailTab::info);
    ui.setShowDetails(true);
    shot("min-details");
    ui.setShowDetails(false);
    ui.setSearch("nothing like it");
    shot("min-search-empty");
    ui.setSearch("");
    ui.setOpenedTorrentID(ids.back());
    test::spinFor(2000ms);
    shot("min-contents");
    ui.setOpenedTorrentID(std::nullopt);
    ui.setShowSettings(true);
    shot("min-settings");
    ui.setShowSettings(false);
    engine.show(longToast);
    shot("min-toast");
    engine.show("");
    view->requestRemoval({ids.back()});
    shot("min-removal");
    if (view->removalDialog())
        view->removalDialog()->reject();
    if (QMenu* menu = view->contextMenu({ids.back()}, window)) {
        menu->popup(window->mapToGlobal(QPoint(gSize.width() / 2, 120)));
        shot("min-context-menu");
        menu->close();
        delete menu;
    }
    gSize = QSize(1280, 860);
    window->resize(gSize);
    ui.setSelection({});
    engine.show(longToast);
    shot("toast-longest");

    app.quit();
    return 0;
}
