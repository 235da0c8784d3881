// The control server of the whole application, driven by curl: the
// application in this process (so the test can hold "/state" against what
// the windows show), playing a clip made by ffmpeg that a loopback seeder
// serves; and the real executable, which "/quit" ends.

#include <cstdlib>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include "tests/automation/control_curl.h"
#include "tests/support/playback/clips.h"
#include "tests/support/playback/media_torrent.h"
#include "tests/support/playback/widget_app.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/temp_dir.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_item_view.h"
#include "tevro/player/player_model.h"
#include "tevro/shell/app_delegate.h"
#include "tevro/shell/application.h"
#include "tevro/shell/library_header.h"
#include "tevro/shell/main_ui_state.h"
#include "tevro/shell/main_view.h"
#include "tevro/shell/main_window.h"
#include "tevro/shell/sidebar_filter_list.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::string encoded(const fs::path& path) {
    return QUrl::toPercentEncoding(QString::fromStdString(path.string())).toStdString();
}

QImage decodePng(const fs::path& path) {
    QImage image;
    image.load(QString::fromStdString(path.string()), "PNG");
    return image;
}

void writeHome(const fs::path& home, int enginePort, const fs::path& downloads) {
    swarm::writeLoopbackEngineSettings(home, enginePort, downloads,
                                       [](Json& s) { s["hardwareDecoding"] = false; });
}

} // namespace

TEST(ControlApplication, CurlDrivesTheRunningApplication) {
    playback::ensureWidgetApp();
    test::TempDir dir;
    fs::create_directories(dir / "media/Clip");
    playback::ClipOptions clip;
    clip.seconds = 8;
    ASSERT_TRUE(playback::makeVideo(dir / "media/Clip/Clip.S01E01.mkv", clip));
    auto media = playback::MediaTorrent::create(dir / "media", "Clip");
    swarm::Seeder seeder;
    media.seed(seeder);

    fs::path home = dir / "home";
    int enginePort = swarm::freeLoopbackPort();
    writeHome(home, enginePort, dir / "downloads");
    int port = swarm::freeLoopbackPort();
    setenv("TEVRO_HOME", home.c_str(), 1);
    // The kit's test channel: the offers service is asked only on loopback.
    setenv("QUORVEL_TEST_ROOT", (dir / "kit").c_str(), 1);
    setenv("TEVRO_CONTROL_PORT", std::to_string(port).c_str(), 1);
    Application app;
    ASSERT_TRUE(app.start({}));
    unsetenv("TEVRO_CONTROL_PORT");
    MainWindow* window = app.mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    MainView* view = window->view();
    auto get = [port](const std::string& target) { return test::curl(port, target).json(); };
    auto state = [&] { return get("/state"); };

    // A web page, or a name that is not this machine's, is refused before anything runs.
    EXPECT_EQ(test::curl(port, "/quit", {"-H", "Origin: http://evil.test"}).status, 403);
    EXPECT_EQ(test::curl(port, "/quit", {"-H", "Host: evil.test"}).status, 403);

    // Add, and let the seeder reach the engine.
    Json added =
        get("/add?save=" + encoded(dir / "downloads") + "&path=" + encoded(media.torrentPath()));
    std::string id = added.value("id", "");
    ASSERT_FALSE(id.empty()) << added.dump();
    QElapsedTimer asked;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            if (!asked.isValid() || asked.elapsed() > 500) {
                media.connect(seeder, enginePort);
                asked.start();
            }
            return media.connectedPeers(seeder) > 0;
        },
        30s));

    // "/state" says what the window shows.
    EXPECT_EQ(get("/select?id=" + id + "&layout=list&search=clip&details=1&tab=info"),
              Json({{"ok", true}}));
    Json ui = state()["ui"];
    EXPECT_EQ(ui["selection"], Json::array({id}));
    EXPECT_EQ(view->primary(), id);
    EXPECT_EQ(ui["search"], view->header()->searchField()->text().toStdString());
    EXPECT_EQ(ui["layout"], "list");
    EXPECT_TRUE(view->list()->isVisible());
    EXPECT_FALSE(view->grid()->isVisible());
    EXPECT_EQ(ui["filter"], "all");
    EXPECT_TRUE(view->sidebar()->row(TorrentFilter::all)->isChecked());
    ASSERT_EQ(view->visible().size(), 1u);
    EXPECT_EQ(state()["torrents"][0]["id"], view->visible()[0].id);
    get("/select?settings=1&settingsPage=speed");
    EXPECT_EQ(state()["ui"]["settings"], true);
    EXPECT_EQ(view->screen(), "settings");
    get("/select?filter=seeding");
    EXPECT_EQ(state()["ui"]["settings"], false);
    EXPECT_EQ(view->screen(), "library");
    EXPECT_TRUE(view->sidebar()->row(TorrentFilter::seeding)->isChecked());
    EXPECT_EQ(state()["ui"]["filter"], "seeding");
    get("/select?filter=all&layout=grid&search=");

    // A snapshot of the main window is a real PNG of its size.
    fs::path mainShot = dir / "main.png";
    EXPECT_EQ(get("/snapshot?window=main&path=" + encoded(mainShot)), Json({{"ok", true}}));
    QImage mainImage = decodePng(mainShot);
    ASSERT_FALSE(mainImage.isNull());
    EXPECT_EQ(mainImage.size(), window->size() * window->devicePixelRatioF());

    // Play the clip in the player window.
    Json files = get("/files?id=" + id);
    ASSERT_EQ(files.size(), 1u) << files.dump();
    std::int64_t index = files[0]["i"];
    EXPECT_EQ(get("/play?id=" + id + "&file=" + std::to_string(index)), Json({{"ok", true}}));
    Json player;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            player = state()["player"];
            return player["loaded"] == true && player["position"].get<double>() > 0.5;
        },
        60s))
        << player.dump();
    EXPECT_EQ(player["item"], Json({{"id", id}, {"file", index}, {"name", "Clip.S01E01.mkv"}}));
    EXPECT_EQ(player["hasVideo"], true);
    EXPECT_GE(player["firstFrameAfter"].get<double>(), 0);
    ASSERT_FALSE(player["audio"].empty());
    bool listed = false;
    Json windows = get("/window");
    for (const Json& w : windows["windows"])
        listed = listed || w["id"] == "player";
    EXPECT_TRUE(listed);
    Json diagnostics = get("/player-diagnostics");
    EXPECT_TRUE(diagnostics.contains("rendered-frames")) << diagnostics.dump();

    // The player and its video; a folder named like an image keeps both files.
    fs::create_directories(dir / "x.png");
    EXPECT_EQ(get("/snapshot?window=player&video=1&path=" + encoded(dir / "x.png/shot.png")),
              Json({{"ok", true}, {"video", true}}));
    EXPECT_FALSE(decodePng(dir / "x.png/shot.png").isNull());
    EXPECT_EQ(decodePng(dir / "x.png/shot-video.png").size(), QSize(960, 540));
    EXPECT_FALSE(fs::exists(dir / "x-video.png"));
    // A path without the suffix takes both images, the video's last.
    EXPECT_EQ(get("/snapshot?window=player&video=1&path=" + encoded(dir / "both")),
              Json({{"ok", true}, {"video", true}}));
    EXPECT_EQ(decodePng(dir / "both").size(), QSize(960, 540));

    // Pause, seek, tracks and keys act on the real player.
    EXPECT_EQ(get("/pause?on=1"), Json({{"ok", true}}));
    ASSERT_TRUE(test::waitUntil([&] { return state()["player"]["paused"] == true; }, 20s));
    EXPECT_EQ(get("/seek?t=6"), Json({{"ok", true}}));
    ASSERT_TRUE(
        test::waitUntil([&] { return state()["player"]["position"].get<double>() >= 4.5; }, 30s))
        << state()["player"].dump();
    std::string audio = player["audio"][0]["id"];
    EXPECT_EQ(get("/track?option=" + audio), Json({{"ok", true}}));
    EXPECT_EQ(get("/key?code=49"), Json({{"handled", true}}));
    ASSERT_TRUE(test::waitUntil([&] { return state()["player"]["paused"] == false; }, 20s));
    EXPECT_EQ(get("/stop"), Json({{"ok", true}}));
    EXPECT_FALSE(app.playerWindow()->isVisible());
    EXPECT_FALSE(state()["player"].contains("item"));

    // The torrent routes on the same torrent.
    EXPECT_TRUE(get("/pieces?id=" + id)["map"].is_string());
    EXPECT_TRUE(get("/peers?id=" + id).is_array());
    EXPECT_TRUE(get("/diagnostics").is_object());
    EXPECT_EQ(get("/prio?id=" + id + "&files=" + std::to_string(index) + "&p=7"),
              Json({{"ok", true}}));
    EXPECT_EQ(get("/limits?id=" + id + "&up=64"), Json({{"ok", true}}));
    EXPECT_EQ(get("/settings?alt=0")["ok"], true);
    EXPECT_EQ(get("/offers")["presented"], false);
    get("/select?contents=" + id);
    EXPECT_EQ(state()["ui"]["contents"], id);
    EXPECT_EQ(get("/contents-action?action=togglePause"), Json({{"ok", true}}));
    EXPECT_TRUE(test::waitUntil([&] { return state()["torrents"][0]["paused"] == true; }));
    EXPECT_EQ(get("/action?a=resume&id=" + id), Json({{"ok", true}}));
    EXPECT_EQ(get("/open?path=" + encoded(dir / "none.torrent")), Json({{"ok", true}}));
    EXPECT_TRUE(
        test::waitUntil([&] { return !state()["ui"]["addSheet"].get<std::string>().empty(); }));
    EXPECT_EQ(get("/snapshot?window=sheet&path=" + encoded(dir / "sheet.png")),
              Json({{"ok", true}}));
    EXPECT_EQ(get("/remove?data=1&id=" + id), Json({{"ok", true}}));
    EXPECT_TRUE(test::waitUntil([&] { return state()["torrents"].empty(); }));

    // "/quit" answers, then the application quits in its order.
    QSignalSpy steps(&app.delegate(), &AppDelegate::shutdownStep);
    EXPECT_EQ(get("/quit"), Json({{"ok", true}}));
    ASSERT_TRUE(test::waitUntil([&] { return app.engine().isShutDown(); }, 30s));
    EXPECT_EQ(steps.count(), 5);
}

// The real executable under the offscreen platform: served on its port,
// refusing foreign callers, and ended by "/quit" like any orderly quit.
TEST(ControlApplication, QuitEndsTheExecutable) {
    playback::ensureWidgetApp();
    test::TempDir dir;
    fs::path home = dir / "home";
    writeHome(home, swarm::freeLoopbackPort(), dir / "downloads");
    int port = swarm::freeLoopbackPort();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TEVRO_HOME", QString::fromStdString(home.string()));
    env.insert("TEVRO_CONTROL_PORT", QString::number(port));
    env.insert("QUORVEL_TEST_ROOT", QString::fromStdString((dir / "kit").string()));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TEVRO_SILENT", "1");
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    QProcess tevro;
    tevro.setProcessEnvironment(env);
    tevro.start(TEVRO_EXECUTABLE, {});
    ASSERT_TRUE(tevro.waitForStarted());

    Json windows;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            windows = test::curl(port, "/window", {}, 5s).json();
            return windows.contains("windows") && !windows["windows"].empty();
        },
        60s));
    EXPECT_EQ(windows["windows"][0]["id"], "main");
    EXPECT_EQ(test::curl(port, "/quit", {"-H", "Origin: null"}).status, 403);
    // An image on a web page, and a form posted from one, are refused too.
    EXPECT_EQ(test::curl(port, "/quit",
                         {"-H", "Referer: http://evil.test/", "-H", "Sec-Fetch-Site: cross-site",
                          "-H", "Sec-Fetch-Mode: no-cors", "-H", "Sec-Fetch-Dest: image"})
                  .status,
              403);
    EXPECT_EQ(test::curl(port, "/quit", {"-X", "POST", "-d", "x=1"}).status, 403);
    EXPECT_EQ(test::curl(port, "/state").json()["ui"]["settings"], false);
    fs::path shot = dir / "main.png";
    EXPECT_EQ(test::curl(port, "/snapshot?window=main&path=" + encoded(shot)).json(),
              Json({{"ok", true}}));
    EXPECT_FALSE(decodePng(shot).isNull());
    EXPECT_EQ(test::curl(port, "/quit").json(), Json({{"ok", true}}));
    ASSERT_TRUE(tevro.waitForFinished(60000));
    EXPECT_EQ(tevro.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tevro.exitCode(), 0) << tevro.readAllStandardError().toStdString();
    EXPECT_TRUE(fs::exists(home / "library.json"));
}
