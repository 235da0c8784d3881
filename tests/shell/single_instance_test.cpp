// One engine per data folder: the lock decides who runs, later launches hand
// their links to the holder however long it takes to answer, a launch while
// the holder quits waits and starts anew, and an update's relaunch waits for
// the process it replaces. The holders and launches are the real executable.

#include "tevro/shell/single_instance.h"

#include <atomic>
#include <csignal>
#include <thread>

#include <QDir>
#include <QLocalSocket>
#include <QProcess>

#include "tests/shell/shell_fixture.h"
#include "tests/support/swarm/wait_until.h"
#include "tests/support/tevro_process.h"
#include "tevro/core/storage.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr char kLink[] = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=x";

// A data folder whose engine talks only to 127.0.0.1.
fs::path prepareHome(const test::TempDir& dir, const std::string& name = "home") {
    fs::path home = dir / name;
    swarm::writeLoopbackEngineSettings(home, swarm::freeLoopbackPort(), dir / "downloads");
    return home;
}

test::TevroProcess::Options on(const fs::path& home, bool control = true) {
    test::TevroProcess::Options o;
    o.home = home;
    o.controlPort = control ? swarm::freeLoopbackPort() : 0;
    return o;
}

bool answers(const test::TevroProcess& p) {
    return p.state().has_value();
}

// Samples both processes until `done`: never more than one engine at a time.
bool atMostOneEngineUntil(const std::vector<const test::TevroProcess*>& processes,
                          const std::function<bool()>& done, std::chrono::milliseconds limit,
                          std::string& why) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        int engines = 0;
        for (const auto* p : processes)
            engines += p->hasEngine() ? 1 : 0;
        if (engines > 1) {
            why = "two engines on one data folder";
            return false;
        }
        if (std::chrono::steady_clock::now() > until) {
            why = "timed out";
            return false;
        }
        test::spinFor(20ms);
    }
    return true;
}

// In one process, as the application's own objects: a launch while the
// holder is closing waits for the lock instead of handing its URLs over.
TEST(SingleInstance, ALaunchDuringTheHoldersQuitWaitsForTheLock) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    auto holder = std::make_unique<SingleInstance>(dir.path());
    ASSERT_EQ(holder->claim({}), SingleInstance::Role::primary);
    ASSERT_TRUE(holder->listen());
    std::vector<std::string> received;
    QObject::connect(holder.get(), &SingleInstance::received,
                     [&](const std::vector<std::string>& urls) { received = urls; });

    std::atomic<int> role{-1};
    auto launch = [&] {
        SingleInstance later(dir.path());
        role = int(later.claim({"magnet:?later"}));
    };
    std::thread first(launch);
    ASSERT_TRUE(test::waitUntil([&] { return role >= 0; }, 20s));
    first.join();
    EXPECT_EQ(role, int(SingleInstance::Role::handedOff));
    EXPECT_EQ(received, std::vector<std::string>{"magnet:?later"});

    received.clear();
    holder->close();
    role = -1;
    std::thread second(launch);
    test::spinFor(1s);
    EXPECT_EQ(role, -1) << "handed to a holder on its way out";
    holder.reset(); // the lock goes with the last write of the quit
    ASSERT_TRUE(test::waitUntil([&] { return role >= 0; }, 20s));
    second.join();
    EXPECT_EQ(role, int(SingleInstance::Role::primary));
    EXPECT_TRUE(received.empty());
}

// A frozen holder: the launch waits as long as it lives and never starts an
// engine of its own; thawed, the holder gets the link.
TEST(SingleInstance, AFrozenHolderGetsTheLinkWhenItThaws) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    fs::path home = prepareHome(dir);
    test::TevroProcess holder(TEVRO_EXECUTABLE, on(home));
    holder.start();
    ASSERT_TRUE(test::waitUntil([&] { return answers(holder); }, 60s)) << holder.errors();

    holder.signal(SIGSTOP);
    test::TevroProcess launch(TEVRO_EXECUTABLE, on(home, false));
    launch.start({kLink});
    std::string why;
    EXPECT_TRUE(atMostOneEngineUntil(
        {&holder, &launch},
        [&] { return launch.errors().find("waiting for the running Tevro") != std::string::npos; },
        60s, why))
        << why << "\n"
        << launch.errors();
    // Well past the moment the old launch gave up on the holder.
    test::spinFor(3s);
    EXPECT_TRUE(launch.running());
    EXPECT_FALSE(launch.hasEngine());

    holder.signal(SIGCONT);
    EXPECT_EQ(launch.waitForExit(60s), 0) << launch.errors();
    ASSERT_TRUE(test::waitUntil(
        [&] {
            auto s = holder.state();
            return s && (*s)["ui"]["magnetSheet"] == true;
        },
        30s));
    holder.signal(SIGTERM);
    EXPECT_EQ(holder.waitForExit(), 0) << holder.errors();
}

// A launch while the holder shuts down (frozen half-way to make sure): it
// waits for the lock, then starts with its link, and the two engines never
// run together.
TEST(SingleInstance, ALaunchDuringTheHoldersShutdownStartsAfterIt) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    fs::path home = prepareHome(dir);
    QString socketName = SingleInstance::serverName(home);
    bool frozenHalfWay = false;
    for (int round = 0; round < 5 && !frozenHalfWay; ++round) {
        test::TevroProcess holder(TEVRO_EXECUTABLE, on(home));
        holder.start();
        ASSERT_TRUE(test::waitUntil([&] { return answers(holder); }, 60s)) << holder.errors();
        holder.signal(SIGTERM);
        // The holder stops answering first thing when it quits.
        ASSERT_TRUE(swarm::waitUntil(
            [&] {
                QLocalSocket probe;
                probe.connectToServer(socketName);
                return !probe.waitForConnected(20);
            },
            30s, 1ms));
        holder.signal(SIGSTOP);
        frozenHalfWay = holder.running();

        auto options = on(home);
        test::TevroProcess launch(TEVRO_EXECUTABLE, options);
        launch.start({kLink});
        std::string why;
        if (frozenHalfWay) {
            EXPECT_TRUE(atMostOneEngineUntil(
                {&holder, &launch},
                [&] {
                    return launch.errors().find("waiting for the running Tevro") !=
                           std::string::npos;
                },
                60s, why))
                << why << "\n"
                << launch.errors();
            EXPECT_FALSE(launch.hasEngine());
            holder.signal(SIGCONT);
        }
        EXPECT_TRUE(atMostOneEngineUntil(
            {&holder, &launch},
            [&] {
                auto s = launch.state();
                return s && (*s)["ui"]["magnetSheet"] == true;
            },
            60s, why))
            << why << "\n"
            << launch.errors();
        EXPECT_EQ(holder.waitForExit(), 0) << holder.errors();
        launch.signal(SIGTERM);
        EXPECT_EQ(launch.waitForExit(), 0) << launch.errors();
    }
    EXPECT_TRUE(frozenHalfWay) << "the holder never stayed long enough in its shutdown";
}

// Started by an update to replace a running process, the new build hands
// nothing over: it waits for the old one to quit, then runs itself.
TEST(SingleInstance, ARelaunchWaitsForTheProcessItReplaces) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    fs::path home = prepareHome(dir);
    test::TevroProcess old(TEVRO_EXECUTABLE, on(home));
    old.start();
    ASSERT_TRUE(test::waitUntil([&] { return answers(old); }, 60s)) << old.errors();

    auto options = on(home);
    options.extra.insert("QUORVEL_RELAUNCH_AFTER", QString::number(old.pid()));
    test::TevroProcess relaunched(TEVRO_EXECUTABLE, options);
    relaunched.start({kLink});
    std::string why;
    EXPECT_TRUE(atMostOneEngineUntil(
        {&old, &relaunched},
        [&] { return relaunched.errors().find("to quit") != std::string::npos; }, 60s, why))
        << why << "\n"
        << relaunched.errors();
    EXPECT_NE(relaunched.errors().find("(process " + std::to_string(old.pid()) + ")"),
              std::string::npos)
        << relaunched.errors();
    EXPECT_TRUE(relaunched.running());
    EXPECT_EQ((*old.state())["ui"]["magnetSheet"], false) << "the link went to the old process";

    old.signal(SIGTERM);
    EXPECT_TRUE(atMostOneEngineUntil(
        {&old, &relaunched},
        [&] {
            auto s = relaunched.state();
            return s && (*s)["ui"]["magnetSheet"] == true;
        },
        60s, why))
        << why << "\n"
        << relaunched.errors();
    EXPECT_EQ(old.waitForExit(), 0);
    relaunched.signal(SIGTERM);
    EXPECT_EQ(relaunched.waitForExit(), 0) << relaunched.errors();
}

// A second launch's arguments: paths relative to its own folder, whatever
// they look like; options are not files. A stray option is named with the
// usage line and the launch goes on without it, the first launch included;
// help opens nothing.
TEST(SingleInstance, ASecondLaunchResolvesItsArgumentsWhereItWasStarted) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    fs::path home = prepareHome(dir);
    test::TevroProcess holder(TEVRO_EXECUTABLE, on(home));
    holder.start({"--verbose"});
    ASSERT_TRUE(test::waitUntil([&] { return answers(holder); }, 60s)) << holder.errors();
    EXPECT_NE(holder.errors().find("tevro: unknown option --verbose\nusage: tevro"),
              std::string::npos)
        << holder.errors();

    fs::path elsewhere = dir / "elsewhere";
    fs::create_directories(elsewhere);
    auto launchIn = [&](const QStringList& arguments) {
        auto options = on(home, false);
        options.workingFolder = elsewhere;
        auto launch = std::make_unique<test::TevroProcess>(TEVRO_EXECUTABLE, options);
        launch->start(arguments);
        return launch;
    };

    for (const char* help : {"--help", "-h"}) {
        QProcess launch;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TEVRO_HOME", QString::fromStdString(home.string()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        launch.setProcessEnvironment(env);
        launch.start(TEVRO_EXECUTABLE, {"film.torrent", help});
        ASSERT_TRUE(launch.waitForFinished(60000)) << help;
        EXPECT_EQ(launch.exitCode(), 0) << help;
        EXPECT_TRUE(launch.readAllStandardOutput().startsWith("usage: tevro")) << help;
    }
    test::spinFor(500ms);
    auto idle = holder.state();
    ASSERT_TRUE(idle);
    EXPECT_EQ((*idle)["ui"]["addSheet"], "") << "help queued a sheet";

    auto launch = launchIn({"--quorvel-test", "--help-me", "ab:cd.torrent"});
    EXPECT_EQ(launch->waitForExit(), 0) << launch->errors();
    EXPECT_NE(launch->errors().find("tevro: unknown option --help-me\nusage: tevro"),
              std::string::npos)
        << launch->errors();
    EXPECT_EQ(launch->errors().find("--quorvel-test"), std::string::npos) << launch->errors();
    std::string expected = (elsewhere / "ab:cd.torrent").string();
    EXPECT_TRUE(test::waitUntil(
        [&] {
            auto s = holder.state();
            return s && (*s)["ui"]["addSheet"] == expected;
        },
        30s))
        << holder.state()->dump();
    holder.signal(SIGTERM);
    EXPECT_EQ(holder.waitForExit(), 0) << holder.errors();
}

} // namespace
