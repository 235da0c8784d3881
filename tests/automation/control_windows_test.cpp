// The control routes that act on the main window's state, the windows and
// the player, against real widgets (offscreen), a real engine and a real
// player model, driven by curl over loopback.

#include <csignal>
#include <sys/resource.h>

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "tests/automation/control_curl.h"
#include "tests/automation/loopback_engine.h"
#include "tests/support/playback/widget_app.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tests/support/temp_dir.h"
#include "tevro/automation/command_layer.h"
#include "tevro/automation/control_routes.h"
#include "tevro/automation/control_server.h"
#include "tevro/automation/window_lookup.h"
#include "tevro/automation/window_snapshot.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/player/player_model.h"
#include "tevro/shell/control_service.h"
#include "tevro/shell/main_ui_state.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// A window of one colour with a label, the size given.
std::unique_ptr<QWidget> makeWindow(const QString& id, QSize size, QColor colour) {
    auto w = std::make_unique<QWidget>();
    w->setObjectName(id);
    w->setWindowTitle(id + " title");
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    auto* layout = new QVBoxLayout(w.get());
    layout->addWidget(new QLabel(id));
    w->resize(size);
    return w;
}

QImage decodePng(const fs::path& path) {
    QImage image;
    image.load(QString::fromStdString(path.string()), "PNG");
    return image;
}

std::vector<fs::path> entries(const fs::path& folder) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(folder))
        out.push_back(e.path().filename());
    return out;
}

std::string encoded(const std::string& text) {
    return QUrl::toPercentEncoding(QString::fromStdString(text)).toStdString();
}

} // namespace

TEST(WindowLookup, FindsWindowsByNameHiddenOnesIncluded) {
    playback::ensureWidgetApp();
    auto main = makeWindow("main", {300, 200}, Qt::darkBlue);
    auto player = makeWindow("player", {320, 180}, Qt::black);
    main->show();

    EXPECT_EQ(WindowLookup::find("main"), main.get());
    EXPECT_EQ(WindowLookup::find("settings"), main.get());
    EXPECT_EQ(WindowLookup::find("player"), player.get()) << "never shown";
    EXPECT_EQ(WindowLookup::find("pla"), player.get());
    EXPECT_EQ(WindowLookup::find(""), main.get()) << "the first window shown";
    EXPECT_EQ(WindowLookup::find("Main"), nullptr);
    EXPECT_EQ(WindowLookup::find("sheet"), nullptr);

    // A sheet over the main window; a plain dialog is none.
    QDialog plain;
    plain.setObjectName("sheet-like");
    plain.show();
    EXPECT_EQ(WindowLookup::find("sheet"), nullptr);
    auto* sheet = new QDialog(main.get());
    sheet->setWindowModality(Qt::WindowModal);
    sheet->show();
    EXPECT_EQ(WindowLookup::find("sheet"), sheet);
    EXPECT_TRUE(WindowLookup::isSheet(sheet));
    sheet->hide();
    EXPECT_EQ(WindowLookup::find("sheet"), nullptr);

    main->hide();
    EXPECT_EQ(WindowLookup::find("main"), main.get());
}

TEST(WindowSnapshot, WritesADecodablePngOfEvenAHiddenWindow) {
    playback::ensureWidgetApp();
    test::TempDir dir;
    auto window = makeWindow("main", {240, 160}, QColor(200, 30, 40));
    ASSERT_FALSE(window->isVisible());

    fs::path shot = dir / "main.png";
    ASSERT_TRUE(WindowSnapshot::write(window.get(), QString::fromStdString(shot.string())));
    QImage image = decodePng(shot);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(240, 160) * window->devicePixelRatioF());
    EXPECT_EQ(QColor(image.pixel(image.width() - 3, image.height() - 3)), QColor(200, 30, 40));
    EXPECT_EQ(entries(dir.path()), std::vector<fs::path>{"main.png"}) << "no temporary left";
    EXPECT_EQ(fs::status(shot).permissions() & fs::perms::others_read, fs::perms::others_read);

    // Nowhere to write: nothing written, nothing left.
    EXPECT_FALSE(
        WindowSnapshot::write(window.get(), QString::fromStdString((dir / "none/x.png").string())));
    fs::create_directory(dir / "x.png");
    EXPECT_FALSE(
        WindowSnapshot::write(window.get(), QString::fromStdString((dir / "x.png").string())));
    EXPECT_FALSE(WindowSnapshot::write(window.get(),
                                       QString::fromStdString((dir / "x.png").string() + "/")));
    EXPECT_TRUE(fs::is_empty(dir / "x.png"));
    EXPECT_FALSE(WindowSnapshot::write(nullptr, QString::fromStdString(shot.string())));
}

// A write that fails halfway (the file-size limit stands in for a full disk)
// leaves the earlier image whole and no temporary file behind.
TEST(WindowSnapshot, AFailedWriteKeepsTheOldFile) {
    playback::ensureWidgetApp();
    test::TempDir dir;
    auto window = makeWindow("main", {400, 300}, Qt::darkGreen);
    QByteArray bytes = WindowSnapshot::png(window.get());
    ASSERT_GT(bytes.size(), 600);
    fs::path shot = dir / "shot.png";
    test::writeAll(shot, "old image");

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 512;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = WindowSnapshot::write(window.get(), QString::fromStdString(shot.string()));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(written);
    EXPECT_EQ(test::readAll(shot), "old image");
    EXPECT_EQ(entries(dir.path()), std::vector<fs::path>{"shot.png"});

    // The same write with room succeeds and replaces it.
    EXPECT_TRUE(WindowSnapshot::write(window.get(), QString::fromStdString(shot.string())));
    EXPECT_EQ(test::readAll(shot), bytes.toStdString());
}

TEST(WindowSnapshot, VideoPathReplacesOnlyATrailingPng) {
    const std::pair<const char*, const char*> cases[] = {
        {"/t/shot.png", "/t/shot-video.png"},
        {"/t/x.png/shot.png", "/t/x.png/shot-video.png"},
        {"/t/x.png/shot", "/t/x.png/shot"},
        {"/t/a.png.png", "/t/a.png-video.png"},
        {"/t/shot.PNG", "/t/shot.PNG"},
        {"/t/shot", "/t/shot"},
        {".png", "-video.png"},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(WindowSnapshot::videoPath(path).toStdString(), expected) << path;
}

namespace {

class ControlRoutesTest : public ::testing::Test {
protected:
    void SetUp() override {
        playback::ensureWidgetApp();
        engine = test::loopbackEngine(dir.path());
        ui = std::make_unique<MainUIState>(dir / "home");
        player = std::make_unique<PlayerModel>(*engine);

        CommandLayer::Sources s;
        s.ui = [this] { return ControlService::uiState(*ui); };
        s.select = [this](const CommandLayer::QueryMap& q) { ControlService::select(*ui, q); };
        s.openedTorrent = [this] { return ui->openedTorrentID(); };
        s.player = player.get();
        s.openWindow = [this](const std::string& id) { opened.push_back(id); };
        s.quit = [this] { ++quits; };
        commands = std::make_unique<CommandLayer>(*engine, std::move(s));
        routes = std::make_unique<ControlRoutes>(*commands);
        server = std::make_unique<ControlServer>(*routes);
        ASSERT_TRUE(server->start(0));
    }

    void TearDown() override {
        server.reset();
        player.reset();
        engine->shutdown();
    }

    Json get(const std::string& target) { return test::curl(server->port(), target).json(); }

    std::string addTorrent() {
        swarm::GeneratedTorrent::Options o;
        o.name = "Alpha";
        o.files = {{"Alpha/video.mkv", 1 << 20}, {"Alpha/notes.txt", 1000}};
        torrent = swarm::GeneratedTorrent::create(dir / "seed", o);
        auto added = engine->addTorrent(torrent->torrentPath(), (dir / "downloads").string(),
                                        std::nullopt, true, false);
        EXPECT_TRUE(added.has_value());
        EXPECT_TRUE(test::waitUntil([&] { return engine->torrent(added->id).has_value(); }));
        return added->id;
    }

    test::TempDir dir;
    std::unique_ptr<TorrentEngine> engine;
    std::unique_ptr<MainUIState> ui;
    std::unique_ptr<PlayerModel> player;
    std::unique_ptr<CommandLayer> commands;
    std::unique_ptr<ControlRoutes> routes;
    std::unique_ptr<ControlServer> server;
    std::optional<swarm::GeneratedTorrent> torrent;
    std::vector<std::string> opened;
    int quits = 0;
};

} // namespace

// Each query of "/select" against the state it leaves, read back through "/state".
TEST_F(ControlRoutesTest, SelectAppliesItsKeysInOrder) {
    struct Case {
        std::string query;
        std::function<void()> before;
        Json expected; // keys of "ui" after the request
    };
    std::vector<Case> cases = {
        {"", [&] { ui->setShowSettings(true); }, {{"settings", false}}},
        {"settings=1&settingsPage=network", {}, {{"settings", true}, {"settingsPage", "network"}}},
        {"settings=yes&settingsPage=Player",
         [&] { ui->setShowSettings(true); },
         {{"settings", false}, {"settingsPage", "downloads"}}},
        {"id=abc",
         [&] { ui->setFilter(TorrentFilter::seeding); },
         {{"filter", "all"}, {"selection", {"abc"}}}},
        {"id=abc&filter=paused", {}, {{"filter", "paused"}, {"selection", {"abc"}}}},
        {"tab=peers&filter=bogus", {}, {{"tab", "peers"}, {"filter", "all"}}},
        {"search=%D0%BC%D0%B8%D1%80", {}, {{"search", "мир"}}},
        {"layout=table&sort=size", {}, {{"layout", "table"}, {"sort", "size"}}},
        {"layout=tiles&sort=biggest", {}, {{"layout", "grid"}, {"sort", "newest"}}},
        {"details=1", {}, {{"details", true}}},
        {"details=true", [&] { ui->setShowDetails(true); }, {{"details", false}}},
        {"id=abc&clear=1", {}, {{"selection", Json::array()}}},
        {"contents=abc", {}, {{"contents", "abc"}}},
        {"contents=", [&] { ui->setOpenedTorrentID("abc"); }, {{"contents", ""}}},
        {"transferDetails=toggle", {}, {{"transferDetailsCollapsed", true}}},
        {"transferDetails=1", {}, {{"transferDetailsCollapsed", false}}},
    };
    for (const Case& c : cases) {
        ui = std::make_unique<MainUIState>(dir / ("fresh" + std::to_string(&c - cases.data())));
        if (c.before)
            c.before();
        ASSERT_EQ(get("/select?" + c.query), Json({{"ok", true}})) << c.query;
        Json state = get("/state")["ui"];
        for (const auto& [key, value] : c.expected.items())
            EXPECT_EQ(state[key], value) << c.query << " " << key;
    }
    // The contents page's own keys, which the state document does not carry.
    get("/select?allFiles=1&compact=1&contentsSearch=ep");
    EXPECT_TRUE(ui->contentsAllFiles());
    EXPECT_TRUE(ui->contentsCompact());
    EXPECT_EQ(ui->contentsQuery(), "ep");
    get("/select?allFiles=0");
    EXPECT_FALSE(ui->contentsAllFiles());
    EXPECT_TRUE(ui->contentsCompact());
    // Layout and sort are written to "library.json" at once.
    get("/select?layout=list");
    EXPECT_EQ(LibraryPreferences::load(ui->libraryFile()).layout, LibraryLayout::list);
}

TEST_F(ControlRoutesTest, WindowRoutesListResizeAndSnapshot) {
    auto main = makeWindow("main", {500, 300}, Qt::darkBlue);
    auto player = makeWindow("player", {320, 180}, Qt::black);
    main->show();

    Json listed = get("/window?open=settings");
    EXPECT_EQ(opened, std::vector<std::string>{"settings"});
    ASSERT_EQ(listed["windows"].size(), 1u) << listed.dump() << " (only visible windows)";
    // The frame's size, the window manager's border included.
    QRect frame = main->frameGeometry();
    EXPECT_GE(frame.width(), 500);
    EXPECT_EQ(listed["windows"][0], Json({{"id", "main"},
                                          {"title", "main title"},
                                          {"w", double(frame.width())},
                                          {"h", double(frame.height())}}));

    // Only two numbers a window can take resize it; the hidden player is found too.
    get("/window?name=player&size=640x360");
    EXPECT_EQ(player->size(), QSize(640, 360));
    for (std::string size : {"640", "1x2x3", "-5x10", "1e300x10", "nanx10", "640x"})
        get("/window?name=player&size=" + size);
    EXPECT_EQ(player->size(), QSize(640, 360));
    get("/window?name=main&size=700.4xx420");
    EXPECT_EQ(main->size(), QSize(700, 420));
    EXPECT_TRUE(get("/window?back=1")["windows"].is_array());

    fs::path shot = dir / "main.png";
    Json reply = get("/snapshot?window=settings&path=" + encoded(shot.string()));
    EXPECT_EQ(reply, Json({{"ok", true}}));
    QImage image = decodePng(shot);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(700, 420) * main->devicePixelRatioF());

    // The player has no video layer: no second image, and the window's image is there.
    fs::path playerShot = dir / "player.png";
    EXPECT_EQ(get("/snapshot?window=player&video=1&path=" + encoded(playerShot.string())),
              Json({{"ok", true}, {"video", false}}));
    EXPECT_FALSE(decodePng(playerShot).isNull());
    EXPECT_FALSE(fs::exists(dir / "player-video.png"));

    auto missing = Json({{"error", "window/path"}});
    EXPECT_EQ(get("/snapshot?window=main"), missing);
    EXPECT_EQ(get("/snapshot?path=" + encoded(shot.string())), missing);
    EXPECT_EQ(get("/snapshot?window=sheet&path=" + encoded(shot.string())), missing);
    EXPECT_EQ(get("/snapshot?window=main&path=" + encoded((dir / "no/such.png").string())),
              Json({{"ok", false}}));
}

TEST_F(ControlRoutesTest, PlayerRoutesAnswerWithNothingLoaded) {
    // The key table decides: space toggles pause, Escape only leaves full
    // screen, a code the table lacks is no key at all.
    const std::pair<std::string, Json> keys[] = {
        {"49", {{"handled", true}}},     {"53", {{"handled", false}}},
        {"126", {{"handled", true}}},    {"200", {{"handled", false}}},
        {"65535", {{"handled", false}}}, {"65536", {{"error", "code"}}},
        {"-1", {{"error", "code"}}},     {"x", {{"error", "code"}}},
        {"", {{"error", "code"}}},       {"99999999999999999999", {{"error", "code"}}},
    };
    for (const auto& [code, expected] : keys)
        EXPECT_EQ(get("/key?code=" + code), expected) << code;
    EXPECT_EQ(get("/key"), Json({{"error", "code"}}));

    EXPECT_EQ(get("/track?kind=sub&option=off"), Json({{"ok", true}}));
    for (std::string query : {"kind=sub&option=s9", "option=off", "kind=audio", ""})
        EXPECT_EQ(get("/track?" + query), Json({{"error", "option"}})) << query;
    for (std::string route : {"/seek?t=30", "/seek?t=x", "/pause?on=1", "/stop"})
        EXPECT_EQ(get(route), Json({{"ok", true}})) << route;
    EXPECT_EQ(get("/player-diagnostics"), Json::object());

    std::string id = addTorrent();
    EXPECT_EQ(get("/play?id=" + id), Json({{"error", "id/file"}}));
    EXPECT_EQ(get("/play?file=0"), Json({{"error", "id/file"}}));
    EXPECT_EQ(get("/play?id=" + id + "&file=x"), Json({{"error", "id/file"}}));
    EXPECT_EQ(get("/play?id=" + id + "&file=7"), Json({{"error", "file"}}));
    EXPECT_EQ(get("/play?id=unknown&file=0"), Json({{"error", "file"}}));
    EXPECT_TRUE(opened.empty());
    Json state = get("/state")["player"];
    EXPECT_EQ(state["loaded"], false);
    EXPECT_FALSE(state.contains("item"));
    EXPECT_EQ(state["subtitles"][0]["id"], "off");
}

TEST_F(ControlRoutesTest, OffersContentsActionAndQuit) {
    auto main = makeWindow("main", {300, 200}, Qt::darkBlue);
    main->show();
    auto* sheet = new QDialog(main.get());
    sheet->setWindowModality(Qt::WindowModal);
    sheet->show();
    // No offers model: an empty one that was never shown, over the real sheets.
    Json idle = CommandLayer::idleOffers();
    idle["sheetCount"] = 1;
    EXPECT_EQ(get("/offers"), idle);
    EXPECT_EQ(get("/offers?action=refresh"), idle);

    // Installed, the hook answers, possibly later.
    CommandLayer::Sources s = commands->sources();
    std::vector<std::string> actions;
    s.offers = [&](const CommandLayer::QueryMap& q, CommandLayer::Reply reply) {
        actions.push_back(q.contains("action") ? q.at("action") : "-");
        QTimer::singleShot(20ms, [reply] { reply(Json{{"visible", true}}); });
    };
    commands->setSources(s);
    EXPECT_EQ(get("/offers?action=next"), Json({{"visible", true}}));
    EXPECT_EQ(actions, std::vector<std::string>{"next"});

    std::string id = addTorrent();
    auto notOk = Json({{"ok", false}});
    EXPECT_EQ(get("/contents-action?action=togglePause"), notOk) << "no contents page";
    ui->setOpenedTorrentID("unknown");
    EXPECT_EQ(get("/contents-action?action=togglePause"), notOk);
    ui->setOpenedTorrentID(id);
    EXPECT_EQ(get("/contents-action?action=togglePause"), Json({{"ok", true}}));
    EXPECT_TRUE(test::waitUntil([&] { return !engine->torrent(id)->paused; }));
    EXPECT_EQ(get("/contents-action?action=dance"), notOk);
    EXPECT_EQ(get("/contents-action"), notOk);
    ASSERT_TRUE(test::waitUntil([&] {
        auto t = engine->torrent(id);
        return t && t->hasMetadata && t->state != "checking";
    }));
    EXPECT_EQ(get("/contents-action?action=recheck"), Json({{"ok", true}}));

    EXPECT_EQ(get("/quit"), Json({{"ok", true}}));
    EXPECT_EQ(quits, 0) << "the reply goes out first";
    EXPECT_TRUE(test::waitUntil([&] { return quits == 1; }));

    // Routes gone before the delay is up quit nothing.
    EXPECT_EQ(get("/quit"), Json({{"ok", true}}));
    server.reset();
    routes.reset();
    test::spinFor(400ms);
    EXPECT_EQ(quits, 1);
}
