#include "tevro/shell/application.h"

#include <csignal>
#include <cstdlib>

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

#include "tests/shell/shell_fixture.h"
#include "tests/support/tevro_process.h"
#include "tevro/automation/command_layer.h"
#include "tevro/core/storage.h"
#include "tevro/shell/app_delegate.h"
#include "tevro/shell/control_service.h"
#include "tevro/shell/main_window.h"
#include "tevro/settings/settings_screen.h"
#include "tevro/shell/single_instance.h"
#include "tevro/torrent/add_torrent_sheet.h"
#include "tevro/torrent/magnet_sheet.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// A data folder whose engine talks only to 127.0.0.1.
void prepareHome(const fs::path& home, const fs::path& downloads) {
    swarm::writeLoopbackEngineSettings(home, swarm::freeLoopbackPort(), downloads);
}

// A data folder for the application in this process; the kit on its test
// channel, so the offers service is asked only on this machine.
fs::path inProcessHome(const test::TempDir& dir) {
    fs::path home = dir / "home";
    prepareHome(home, dir / "downloads");
    setenv("TEVRO_HOME", home.c_str(), 1);
    setenv("QUORVEL_TEST_ROOT", (dir / "kit").c_str(), 1);
    return home;
}

QProcessEnvironment environmentFor(const fs::path& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TEVRO_HOME", QString::fromStdString(home.string()));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TEVRO_SILENT", "1");
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    // The kit's test channel asks the offers service only on loopback.
    env.insert("QUORVEL_TEST_ROOT", QString::fromStdString((home / "kit").string()));
    return env;
}

template <class Sheet> Sheet* openSheet(MainWindow* window) {
    for (Sheet* sheet : window->findChildren<Sheet*>())
        if (sheet->isVisible())
            return sheet;
    return nullptr;
}

// The whole application in this process; a second launch is the real executable.
TEST(Application, LaunchesHandOverQuitClosesAndCtrlQStopsInOrder) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    fs::path home = inProcessHome(dir);
    ASSERT_EQ(Storage::home(), home);

    std::string missing =
        QUrl::fromLocalFile(QString::fromStdString((dir / "gone.torrent").string()))
            .toString(QUrl::FullyEncoded)
            .toStdString();
    Application app;
    ASSERT_TRUE(app.start({missing}));
    MainWindow* window = app.mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->size(), QSize(1280, 860));
    EXPECT_EQ(window->minimumSize(), QSize(900, 560));

    // The file given at start is in the add sheet, which cannot read it.
    AddTorrentSheet* add = nullptr;
    ASSERT_TRUE(test::waitUntil([&] { return (add = openSheet<AddTorrentSheet>(window)); }));
    EXPECT_EQ(app.ui().addURL(), missing);
    ASSERT_TRUE(test::waitUntil([&] {
        for (QLabel* label : add->findChildren<QLabel*>())
            if (label->isVisible() && label->text() == QStringLiteral("Не удалось открыть торрент"))
                return true;
        return false;
    }));

    // A second launch hands its link over and exits; the link waits for the open sheet.
    QProcess second;
    second.setProcessEnvironment(environmentFor(home));
    second.start(TEVRO_EXECUTABLE, {"magnet:?xt=urn:btih:notahash"});
    ASSERT_TRUE(test::waitUntil([&] { return second.state() == QProcess::NotRunning; }, 60s));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_EQ(app.engine().pendingOpen(), std::vector<std::string>{"magnet:?xt=urn:btih:notahash"});

    add->reject();
    MagnetSheet* magnet = nullptr;
    ASSERT_TRUE(test::waitUntil([&] { return (magnet = openSheet<MagnetSheet>(window)); }));
    EXPECT_EQ(magnet->link(), QStringLiteral("magnet:?xt=urn:btih:notahash"));
    magnet->add();
    EXPECT_FALSE(magnet->errorText().isEmpty());
    EXPECT_TRUE(app.engine().torrents().empty());
    magnet->reject();
    ASSERT_TRUE(test::waitUntil([&] { return !app.ui().showMagnet(); }));

    // Closing the windows quits nothing: the engine goes on polling.
    window->close();
    QSignalSpy polled(&app.engine(), &TorrentEngine::polled);
    ASSERT_TRUE(test::waitUntil([&] { return polled.count() >= 2; }, 10s));
    EXPECT_FALSE(app.engine().isShutDown());

    // Ctrl+Q from the menu: the services stop in order and the files are written.
    app.openWindow("main");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    for (const char* name : {"settings.json", "torrents.json", "library.json"})
        fs::remove(home / name);
    QSignalSpy steps(&app.delegate(), &AppDelegate::shutdownStep);
    QAction* quit = window->action(QStringLiteral("Завершить Tevro"));
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->trigger();
    std::vector<QString> order;
    for (const auto& args : steps)
        order.push_back(args.at(0).toString());
    EXPECT_EQ(order,
              (std::vector<QString>{"automation", "windows", "artwork", "player", "engine"}));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(app.engine().isShutDown());
    for (const char* name : {"settings.json", "torrents.json", "library.json"})
        EXPECT_TRUE(fs::exists(home / name)) << name;
}

// A second launch from another folder: its arguments reach the sheets as
// written, paths under that folder, and the state document names each sheet
// while it shows, the ones that cannot read what they were given too.
TEST(Application, ASecondLaunchsArgumentsOpenTheirSheetsOneAfterAnother) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    fs::path home = inProcessHome(dir);
    Application app;
    ASSERT_TRUE(app.start({}));
    MainWindow* window = app.mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    CommandLayer layer(app.engine(), ControlService::sources([] {}));

    fs::path elsewhere = dir / "elsewhere";
    fs::create_directories(elsewhere / "folder.torrent");
    const std::string hash = "0123456789abcdef0123456789abcdef01234567";
    const std::string badEscape = "magnet:?xt=urn:btih:" + hash + "&dn=%";
    const std::string badHex = "magnet:?xt=urn:btih:" + hash + "&dn=%zz&tr=http://t/a%2";
    QProcess second;
    second.setProcessEnvironment(environmentFor(home));
    second.setWorkingDirectory(QString::fromStdString(elsewhere.string()));
    second.start(TEVRO_EXECUTABLE,
                 {":x.torrent", QString::fromStdString(badEscape), "folder.torrent",
                  QString::fromStdString(badHex), "ab:cd.torrent"});
    ASSERT_TRUE(test::waitUntil([&] { return second.state() == QProcess::NotRunning; }, 60s));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

    struct Sheet {
        bool magnet;
        std::string text;
    } order[] = {
        {false, (elsewhere / ":x.torrent").string()},     {true, badEscape},
        {false, (elsewhere / "folder.torrent").string()}, {true, badHex},
        {false, (elsewhere / "ab:cd.torrent").string()},
    };
    for (const Sheet& expected : order) {
        QPointer<QDialog> shown;
        ASSERT_TRUE(test::waitUntil([&] {
            if (expected.magnet)
                shown = openSheet<MagnetSheet>(window);
            else
                shown = openSheet<AddTorrentSheet>(window);
            return shown != nullptr;
        })) << expected.text;
        Json ui = layer.state()["ui"];
        EXPECT_EQ(ui["magnetSheet"], expected.magnet) << expected.text;
        if (expected.magnet) {
            EXPECT_EQ(ui["addSheet"], "");
            EXPECT_EQ(static_cast<MagnetSheet*>(shown.data())->link().toStdString(), expected.text);
        } else {
            EXPECT_EQ(ui["addSheet"], expected.text);
        }
        shown->reject();
        ASSERT_TRUE(test::waitUntil([&] { return !shown || !shown->isVisible(); }));
    }
    ASSERT_TRUE(test::waitUntil([&] { return !app.ui().addURL() && !app.ui().showMagnet(); }));
    EXPECT_TRUE(app.engine().pendingOpen().empty());
    Json ui = layer.state()["ui"];
    EXPECT_EQ(ui["addSheet"], "");
    EXPECT_EQ(ui["magnetSheet"], false);
    app.quit();
}

// The real executable: SIGTERM runs the same orderly quit.
TEST(Application, SigtermWritesTheDataFilesAndExits) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    fs::path home = dir / "home";
    prepareHome(home, dir / "downloads");
    fs::remove(home / "settings.json.tmp");
    fs::path xdg = dir / "xdg";
    fs::create_directories(xdg);
    QProcess tevro;
    QProcessEnvironment env = environmentFor(home);
    env.insert("XDG_DATA_HOME", QString::fromStdString(xdg.string()));
    tevro.setProcessEnvironment(env);
    tevro.start(TEVRO_EXECUTABLE, {});
    ASSERT_TRUE(tevro.waitForStarted());
    SingleInstance probe(home);
    ASSERT_TRUE(test::waitUntil([&] { return probe.handOff({}, 200); }, 60s));
    for (const char* name : {"settings.json", "torrents.json", "library.json"})
        fs::remove(home / name);
    ::kill(pid_t(tevro.processId()), SIGTERM);
    ASSERT_TRUE(tevro.waitForFinished(60000));
    EXPECT_EQ(tevro.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tevro.exitCode(), 0) << tevro.readAllStandardError().toStdString();
    for (const char* name : {"settings.json", "torrents.json", "library.json"})
        EXPECT_TRUE(fs::exists(home / name)) << name;
    // Tevro never starts the kit's statistics: none of its files appear.
    for (const auto& entry : fs::recursive_directory_iterator(xdg))
        EXPECT_NE(entry.path().filename(), "QuorvelKit") << entry.path();
}

// TEVRO_CONTROL_PORT starts the control server of the running executable.
TEST(Application, ControlPortServesTheStateOfTheRunningApplication) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    fs::path home = dir / "home";
    prepareHome(home, dir / "downloads");
    int port = swarm::freeLoopbackPort();
    QProcessEnvironment env = environmentFor(home);
    env.insert("TEVRO_CONTROL_PORT", QString::number(port));
    QProcess tevro;
    tevro.setProcessEnvironment(env);
    tevro.start(TEVRO_EXECUTABLE, {});
    ASSERT_TRUE(tevro.waitForStarted());

    QByteArray reply;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            QTcpSocket socket;
            socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
            if (!socket.waitForConnected(200))
                return false;
            socket.write("GET /state HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                         "\r\n\r\n");
            reply.clear();
            while (socket.waitForReadyRead(2000))
                reply += socket.readAll();
            return reply.contains("\"torrents\"");
        },
        60s))
        << reply.toStdString();
    EXPECT_TRUE(reply.startsWith("HTTP/1.1 200")) << reply.toStdString();

    ::kill(pid_t(tevro.processId()), SIGTERM);
    ASSERT_TRUE(tevro.waitForFinished(60000));
    EXPECT_EQ(tevro.exitCode(), 0) << tevro.readAllStandardError().toStdString();
}

// What the start found damaged, "library.json" with the engine's files, is
// told in the main window once; the originals are kept.
TEST(Application, DamagedFilesAreToldInTheMainWindowAtStart) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    fs::path home = dir / "home";
    prepareHome(home, dir / "downloads");
    test::writeAll(home / "library.json", R"({"layout":"mosaic"})");
    test::writeAll(home / "torrents.json", "{\"cut");
    test::TevroProcess::Options options;
    options.home = home;
    options.controlPort = swarm::freeLoopbackPort();
    test::TevroProcess tevro(TEVRO_EXECUTABLE, options);
    tevro.start();
    std::string told;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            auto s = tevro.state();
            told = s ? (*s)["toast"].get<std::string>() : "";
            return !told.empty();
        },
        60s))
        << tevro.errors();
    EXPECT_NE(told.find("«library.json»"), std::string::npos) << told;
    EXPECT_NE(told.find("«torrents.json»"), std::string::npos) << told;
    tevro.signal(SIGTERM);
    EXPECT_EQ(tevro.waitForExit(), 0) << tevro.errors();
    std::vector<std::string> kept;
    for (const auto& e : fs::directory_iterator(home))
        if (e.path().filename().string().find(".corrupt-") != std::string::npos)
            kept.push_back(test::readAll(e.path()));
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"{\"cut", R"({"layout":"mosaic"})"}));
}

// The settings screen takes the library's place and follows the chosen page.
TEST(Application, SettingsScreenShowsTheChosenPage) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    fs::path home = inProcessHome(dir);
    Application app;
    ASSERT_TRUE(app.start({}));
    MainWindow* window = app.mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));

    app.ui().setSettingsPage(SettingsPage::network);
    app.ui().setShowSettings(true);
    SettingsScreen* screen = nullptr;
    ASSERT_TRUE(test::waitUntil([&] {
        screen = window->findChild<SettingsScreen*>();
        return screen && screen->isVisible();
    }));
    EXPECT_EQ(screen->page(), int(SettingsPage::network));
    app.ui().setSettingsPage(SettingsPage::player);
    EXPECT_EQ(screen->page(), int(SettingsPage::player));
    app.ui().setShowSettings(false);
    ASSERT_TRUE(test::waitUntil([&] { return !screen->isVisible(); }));
}

// The menu commands are the application's: they answer in the player window
// too, also while "main" is closed.
TEST(Application, MenuCommandsAnswerInThePlayerWindow) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    fs::path home = inProcessHome(dir);
    Application app;
    ASSERT_TRUE(app.start({}));
    MainWindow* main = app.mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    QWidget* player = app.playerWindow();
    app.openWindow("player");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(player));
    ASSERT_TRUE(test::waitUntil([&] { return QApplication::activeWindow() == player; }));

    const bool limits = app.engine().settings().altSpeedEnabled;
    QTest::keyClick(player, Qt::Key_T, Qt::ControlModifier);
    EXPECT_NE(app.engine().settings().altSpeedEnabled, limits);
    QTest::keyClick(player, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(app.ui().showMagnet());
    ASSERT_TRUE(test::waitUntil([&] {
        for (MagnetSheet* sheet : main->findChildren<MagnetSheet*>())
            if (sheet->isVisible()) {
                sheet->reject();
                return true;
            }
        return false;
    }));
    ASSERT_TRUE(test::waitUntil([&] { return !app.ui().showMagnet(); }));

    // With "main" closed, Ctrl+, from the player opens it on the settings.
    main->close();
    player->activateWindow();
    ASSERT_TRUE(test::waitUntil([&] { return QApplication::activeWindow() == player; }));
    QTest::keyClick(player, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_TRUE(app.ui().showSettings());
    EXPECT_TRUE(test::waitUntil([&] { return main->isVisible(); }));
    app.ui().setShowSettings(false);
    app.quit(); // the player's core goes with the rest
}

} // namespace
