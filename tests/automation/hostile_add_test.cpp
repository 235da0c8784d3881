// Hostile .torrent files through the control route "/add" and the automation
// tool "add_torrent": each is refused with its reason while the main thread
// keeps running (a 50 ms timer goes on firing).

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/automation/loopback_engine.h"
#include "tests/support/hostile_torrents.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tevro/automation/automation_api.h"
#include "tevro/automation/command_layer.h"
#include "tevro/automation/control_routes.h"
#include "tevro/automation/control_server.h"
#include "tevro/engine/torrent_engine.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// The longest time the main thread went without a tick of a 50 ms timer.
class StallMeter {
public:
    StallMeter() {
        m_clock.start();
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_clock.restart()); });
        m_timer.start();
    }
    double longestSeconds() {
        m_longest = std::max(m_longest, m_clock.elapsed());
        return static_cast<double>(m_longest) / 1000.0;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

// A writer that opens the FIFO after a while, so a reader stuck on it gets
// free (the test then fails instead of hanging).
class FifoRescue {
public:
    explicit FifoRescue(fs::path fifo)
        : m_thread([fifo] {
              std::this_thread::sleep_for(10s);
              int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
              if (fd >= 0)
                  ::close(fd);
          }) {}
    ~FifoRescue() { m_thread.detach(); }

private:
    std::thread m_thread;
};

class HostileAdd : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureQtApp();
        engine = test::loopbackEngine(dir.path());
        commands = std::make_unique<CommandLayer>(*engine);
        routes = std::make_unique<ControlRoutes>(*commands);
        api = std::make_unique<AutomationAPI>(*commands);
        server = std::make_unique<ControlServer>(*routes);
        ASSERT_TRUE(server->start(0));
        fifo = dir / "pipe.torrent";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        repeated = test::writeTorrent(dir, "repeated.torrent", test::repeatedPathTorrent(20000));
    }

    void TearDown() override {
        server.reset();
        api.reset();
        engine->shutdown();
    }

    static std::string encoded(const fs::path& p) {
        return QUrl::toPercentEncoding(QString::fromStdString(p.string())).toStdString();
    }

    Json get(const std::string& target) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server->port());
        EXPECT_TRUE(socket.waitForConnected(5000));
        std::string request = "GET " + target +
                              " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server->port()) +
                              "\r\n\r\n";
        socket.write(request.data(), static_cast<qint64>(request.size()));
        QByteArray bytes;
        test::waitUntil(
            [&] {
                bytes += socket.readAll();
                return socket.state() == QAbstractSocket::UnconnectedState;
            },
            60s);
        bytes += socket.readAll();
        int at = bytes.indexOf("\r\n\r\n");
        return Json::parse(at < 0 ? std::string() : bytes.mid(at + 4).toStdString(), nullptr,
                           false);
    }

    std::string toolError(const Json& args) {
        std::optional<AutomationAPI::Result> result;
        api->call("add_torrent", args, [&](AutomationAPI::Result r) { result = std::move(r); });
        EXPECT_TRUE(test::waitUntil([&] { return result.has_value(); }, 60s));
        if (!result)
            return "no answer";
        return *result ? "ok: " + (*result)->json().dump() : result->error();
    }

    test::TempDir dir;
    std::unique_ptr<TorrentEngine> engine;
    std::unique_ptr<CommandLayer> commands;
    std::unique_ptr<ControlRoutes> routes;
    std::unique_ptr<AutomationAPI> api;
    std::unique_ptr<ControlServer> server;
    fs::path fifo;
    fs::path repeated;
};

} // namespace

TEST_F(HostileAdd, TheAddRouteRefusesWithoutHoldingTheMainThread) {
    FifoRescue rescue(fifo);
    struct Case {
        std::string target;
        std::string says;
    } cases[] = {
        {"/add?path=" + encoded(fifo), "канал"},
        {"/add?files=0&path=" + encoded(fifo), "канал"},
        {"/add?path=" + encoded(repeated), "одинаковым путём"},
        {"/add?files=0,1&path=" + encoded(repeated), "одинаковым путём"},
    };
    for (const Case& c : cases) {
        StallMeter stall;
        Json reply = get(c.target + "&paused=1&save=" + encoded(dir / "downloads"));
        double longest = stall.longestSeconds();
        std::printf("{\"route\":\"%s\",\"longest_main_thread_stall_s\":%.3f}\n",
                    c.target.substr(0, c.target.find("path=")).c_str(), longest);
        EXPECT_NE(reply.value("error", "").find(c.says), std::string::npos)
            << c.target << ": " << reply.dump();
        EXPECT_LT(longest, 5.0) << c.target;
    }
    EXPECT_TRUE(engine->torrents().empty());

    // As many repeats as are taken: the library's renaming runs on the engine queue.
    fs::path most = test::writeTorrent(dir, "most.torrent", test::repeatedPathTorrent(1000));
    StallMeter stall;
    Json added =
        get("/add?paused=1&files=0&path=" + encoded(most) + "&save=" + encoded(dir / "downloads"));
    double longest = stall.longestSeconds();
    std::printf("{\"route\":\"/add\",\"repeats\":1000,\"longest_main_thread_stall_s\":%.3f}\n",
                longest);
    EXPECT_FALSE(added.value("id", "").empty()) << added.dump();
    EXPECT_LT(longest, 5.0);
}

TEST_F(HostileAdd, TheAddToolRefusesWithoutHoldingTheMainThread) {
    struct Case {
        Json args;
        std::string says;
    } cases[] = {
        {{{"source", repeated.string()}}, "одинаковым путём"},
        {{{"source", repeated.string()}, {"files", {0}}}, "одинаковым путём"},
        {{{"source", fifo.string()}}, "Readable local .torrent file required."},
    };
    for (const Case& c : cases) {
        Json args = c.args;
        args["save_path"] = (dir / "downloads").string();
        StallMeter stall;
        std::string error = toolError(args);
        double longest = stall.longestSeconds();
        std::printf(
            "{\"tool\":\"add_torrent\",\"files\":%s,\"longest_main_thread_stall_s\":%.3f}\n",
            c.args.contains("files") ? "true" : "false", longest);
        EXPECT_NE(error.find(c.says), std::string::npos) << c.args.dump() << ": " << error;
        EXPECT_LT(longest, 5.0) << c.args.dump();
    }
}
