#include "tevro/automation/control_server.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <QTcpSocket>
#include <QUrl>

#include <gtest/gtest.h>

#include "tests/automation/control_curl.h"
#include "tests/automation/loopback_engine.h"
#include "tests/automation/socket_reply.h"
#include "tests/support/qt_app.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tests/support/temp_dir.h"
#include "tevro/automation/command_layer.h"
#include "tevro/automation/control_routes.h"
#include "tevro/automation/state_text_cache.h"
#include "tevro/engine/torrent_engine.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

struct Reply {
    bool closed = false;
    QByteArray bytes;
    std::string body() const {
        int at = bytes.indexOf("\r\n\r\n");
        return at < 0 ? std::string() : bytes.mid(at + 4).toStdString();
    }
    Json json() const { return Json::parse(body(), nullptr, false); }
    // The status line's code; 0 without one.
    int status() const { return bytes.startsWith("HTTP/1.1 ") ? bytes.mid(9, 3).toInt() : 0; }
};

class ControlServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureQtApp();
        engine = test::loopbackEngine(dir.path());
        commands = std::make_unique<CommandLayer>(*engine);
        routes = std::make_unique<ControlRoutes>(*commands);
        startServer({});
    }

    void TearDown() override {
        server.reset();
        engine->shutdown();
    }

    void startServer(ControlServer::Options options) {
        server = std::make_unique<ControlServer>(*routes, options);
        ASSERT_TRUE(server->start(0));
        host = "127.0.0.1:" + std::to_string(server->port());
    }

    std::unique_ptr<QTcpSocket> open() {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, server->port());
        EXPECT_TRUE(socket->waitForConnected(5000));
        return socket;
    }

    // Sends the pieces one by one (each flushed) and reads until the server closes.
    Reply exchange(const std::vector<std::string>& pieces, std::chrono::milliseconds gap = 0ms) {
        auto socket = open();
        for (const std::string& p : pieces) {
            socket->write(p.data(), static_cast<qint64>(p.size()));
            socket->flush();
            if (gap > 0ms)
                test::spinFor(gap);
        }
        return finish(*socket);
    }

    Reply finish(QTcpSocket& socket, std::chrono::milliseconds timeout = 10s) {
        Reply r;
        test::waitUntil(
            [&] {
                r.bytes += socket.readAll();
                return socket.state() == QAbstractSocket::UnconnectedState;
            },
            timeout);
        r.bytes += socket.readAll();
        r.closed = socket.state() == QAbstractSocket::UnconnectedState;
        return r;
    }

    Reply get(const std::string& target) {
        return exchange({"GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n"});
    }

    std::string addTorrent() {
        swarm::GeneratedTorrent::Options o;
        o.name = "Alpha";
        o.files = {{"Alpha/video.mkv", 1 << 20}, {"Alpha/notes.txt", 1000}};
        torrent = swarm::GeneratedTorrent::create(dir / "seed", o);
        Json reply =
            get("/add?paused=1&save=" +
                QUrl::toPercentEncoding(QString::fromStdString((dir / "downloads").string()))
                    .toStdString() +
                "&path=" +
                QUrl::toPercentEncoding(QString::fromStdString(torrent->torrentPath().string()))
                    .toStdString())
                .json();
        EXPECT_EQ(reply["duplicate"], false) << reply.dump();
        std::string id = reply.value("id", "");
        EXPECT_TRUE(test::waitUntil([&] { return engine->torrent(id).has_value(); }));
        return id;
    }

    test::TempDir dir;
    std::unique_ptr<TorrentEngine> engine;
    std::unique_ptr<CommandLayer> commands;
    std::unique_ptr<ControlRoutes> routes;
    std::unique_ptr<ControlServer> server;
    std::optional<swarm::GeneratedTorrent> torrent;
    std::string host;
};

} // namespace

TEST_F(ControlServerTest, StateRouteAndFraming) {
    std::string id = addTorrent();
    for (std::string line : {"GET /state HTTP/1.1", "GET  /state?x=1  HTTP/1.1", "GET /state"}) {
        Reply r = exchange({line + "\r\nHost: " + host + "\r\n\r\n"});
        ASSERT_TRUE(r.closed);
        EXPECT_TRUE(r.bytes.startsWith("HTTP/1.1 200 OK\r\n")) << line;
        EXPECT_TRUE(r.bytes.contains("Content-Type: application/json; charset=utf-8\r\n"));
        EXPECT_TRUE(r.bytes.contains("Connection: close\r\n"));
        // The status text is Russian: the length counts bytes.
        EXPECT_TRUE(r.bytes.contains("Content-Length: " + QByteArray::number(r.body().size())));
        Json state = r.json();
        ASSERT_TRUE(state.is_object()) << r.body();
        for (const char* key : {"session", "torrents", "ui", "player", "trackers", "toast"})
            EXPECT_TRUE(state.contains(key)) << key;
        ASSERT_EQ(state["torrents"].size(), 1u);
        const Json& t = state["torrents"][0];
        EXPECT_EQ(t["id"], id);
        EXPECT_EQ(t["name"], "Alpha");
        EXPECT_EQ(t["paused"], true);
        EXPECT_EQ(t.size(), 22u);
        EXPECT_FALSE(t["status"].get<std::string>().empty());
        EXPECT_TRUE(t["checkingETA"].is_null());
        EXPECT_EQ(state["session"].size(), 9u);
        EXPECT_FALSE(state["player"].contains("item"));
        EXPECT_EQ(state["player"]["firstFrameAfter"], -1.0);
    }
    // Keys come out sorted, compact.
    std::string body = get("/state").body();
    EXPECT_LT(body.find("\"player\""), body.find("\"session\""));
    EXPECT_EQ(body.find(": "), std::string::npos);

    // A long body after the head is never read as a request, and the reply
    // still arrives whole (no reset for the unread bytes).
    Reply withBody =
        exchange({"GET /state HTTP/1.1\r\nHost: " + host + "\r\nContent-Length: 3000000\r\n\r\n",
                  std::string(1 << 20, 'x'), std::string(2000000, 'y')});
    EXPECT_TRUE(withBody.json().contains("torrents")) << withBody.bytes.left(200).toStdString();

    EXPECT_EQ(get("/State").json(), Json({{"error", "unknown"}}));
    EXPECT_EQ(get("/state/").json(), Json({{"error", "unknown"}}));
    EXPECT_EQ(exchange({"GET\r\nHost: " + host + "\r\n\r\n"}).json(), Json({{"error", "unknown"}}));
}

// "/state" reuses the torrents' text of the last document while their rows
// stay the same; it is always the document itself, byte for byte.
TEST_F(ControlServerTest, TheStateTextIsTheDocumentEncoded) {
    auto same = [&](const char* when) {
        std::string text = commands->stateText();
        EXPECT_EQ(text, CommandLayer::encode(commands->state())) << when;
        EXPECT_EQ(text, ControlRoutes::json(commands->state())) << when;
        return text;
    };
    same("no torrents");
    std::string id = addTorrent();
    // Texts that need escaping, and bytes that are not UTF-8, around the torrents' key.
    engine->show("\"quoted\" \xff toast");
    std::string paused = same("one torrent");
    EXPECT_EQ(same("asked again"), paused);
    EXPECT_EQ(Json::parse(paused)["torrents"][0]["paused"], true);

    EXPECT_EQ(get("/action?a=resume&id=" + id).json(), Json({{"ok", true}}));
    ASSERT_TRUE(test::waitUntil([&] { return !engine->torrent(id)->paused; }));
    std::string resumed = same("resumed");
    EXPECT_EQ(Json::parse(resumed)["torrents"][0]["paused"], false);
    EXPECT_EQ(get("/state").body(), commands->stateText());

    EXPECT_EQ(get("/remove?id=" + id).json(), Json({{"ok", true}}));
    ASSERT_TRUE(test::waitUntil([&] { return !engine->torrent(id).has_value(); }));
    EXPECT_EQ(Json::parse(same("removed"))["torrents"], Json::array());
}

// Every layer on one engine writes the same kept texts; a text goes as soon
// as the engine changes its row, whichever layer asks next.
TEST_F(ControlServerTest, LayersOnOneEngineShareTheKeptTexts) {
    CommandLayer other(*engine);
    StateTextCache& cache = StateTextCache::of(*engine);
    auto both = [&](const char* when) {
        std::string text = commands->stateText();
        EXPECT_EQ(text, CommandLayer::encode(commands->state())) << when;
        EXPECT_EQ(other.stateText(), text) << when;
        return Json::parse(text);
    };
    std::string id = addTorrent();
    EXPECT_EQ(both("added")["torrents"][0]["paused"], true);
    EXPECT_EQ(cache.keptCount(), 1u);

    EXPECT_EQ(get("/action?a=resume&id=" + id).json(), Json({{"ok", true}}));
    ASSERT_TRUE(test::waitUntil([&] { return !engine->torrent(id)->paused; }));
    // The other layer asks first; the first must not write the paused text.
    EXPECT_EQ(Json::parse(other.stateText())["torrents"][0]["paused"], false);
    EXPECT_EQ(both("resumed")["torrents"][0]["paused"], false);

    EXPECT_EQ(get("/remove?id=" + id).json(), Json({{"ok", true}}));
    ASSERT_TRUE(test::waitUntil([&] { return !engine->torrent(id).has_value(); }));
    // Dropped with its row, before anyone asks.
    EXPECT_EQ(cache.keptCount(), 0u);
    EXPECT_EQ(both("removed")["torrents"], Json::array());
}

TEST_F(ControlServerTest, TorrentRoutesChangeTheEngine) {
    std::string id = addTorrent();
    EXPECT_EQ(get("/action?a=resume&id=" + id).json(), Json({{"ok", true}}));
    EXPECT_TRUE(test::waitUntil([&] { return !engine->torrent(id)->paused; }));

    // A request line that arrives in several segments still runs whole.
    Reply split = exchange(
        {"GET /action?a=pa", "use&id=" + id + " HTTP/1.1\r\nHo", "st: " + host + "\r\n\r\n"}, 50ms);
    EXPECT_EQ(split.json(), Json({{"ok", true}}));
    EXPECT_TRUE(test::waitUntil([&] { return engine->torrent(id)->paused; }));

    EXPECT_EQ(get("/limits?id=" + id + "&down=100").json(), Json({{"ok", true}}));
    EXPECT_TRUE(test::waitUntil([&] { return engine->torrent(id)->downloadLimit == 102400; }));
    EXPECT_LT(engine->torrent(id)->uploadLimit, 1);

    // Rates whose byte count would overflow, and counts past 32 bits, change nothing.
    for (std::string query : {"down=2097152", "up=-1", "down=99999999999999999999",
                              "conn=2147483648", "slots=-2147483649"}) {
        EXPECT_EQ(get("/limits?id=" + id + "&" + query).json(), Json({{"error", "limits"}}))
            << query;
    }
    EXPECT_EQ(get("/limits?id=" + id + "&down=2097151&up=x").json(), Json({{"ok", true}}));
    EXPECT_TRUE(
        test::waitUntil([&] { return engine->torrent(id)->downloadLimit == 2097151ll * 1024; }));

    EXPECT_EQ(get("/settings?down=2097152").json(), Json({{"error", "limits"}}));
    EXPECT_EQ(engine->settings().downloadLimitKiB, 0);
    Json settings = get("/settings?down=300&connections=-5&alt=0").json();
    EXPECT_EQ(settings["ok"], true);
    EXPECT_EQ(engine->settings().downloadLimitKiB, 300);
    EXPECT_EQ(engine->settings().maxConnections, 0);

    Json files = get("/files?id=" + id).json();
    ASSERT_TRUE(files.is_array()) << files.dump();
    std::int64_t notes = -1;
    for (const Json& f : files)
        if (f["path"].get<std::string>().ends_with("notes.txt"))
            notes = f["i"];
    ASSERT_GE(notes, 0) << files.dump();
    EXPECT_EQ(get("/prio?id=" + id + "&files=" + std::to_string(notes) + ",,x&p=0").json(),
              Json({{"ok", true}}));
    EXPECT_TRUE(test::waitUntil([&] {
        bool skipped = false;
        engine->files(id, [&](std::vector<TorrentFile> f) {
            for (const TorrentFile& file : f)
                if (file.i == notes)
                    skipped = file.prio == 0;
        });
        test::spinFor(50ms);
        return skipped;
    }));

    EXPECT_EQ(get("/remove?id=" + id).json(), Json({{"ok", true}}));
    EXPECT_TRUE(test::waitUntil([&] { return !engine->torrent(id).has_value(); }));
    EXPECT_EQ(get("/state").json()["torrents"], Json::array());
}

TEST_F(ControlServerTest, RefusesBadHeadsAndForeignCallersWithoutRunning) {
    startServer({.readTimeout = 300ms, .connectionTimeout = 15s});
    std::string id = addTorrent();
    std::string action = "/action?a=resume&id=" + id;
    auto badRequest = Json({{"error", "bad request"}});
    auto forbidden = Json({{"error", "forbidden"}});

    // Truncated (the head never ends in time), oversized and malformed heads.
    const std::pair<std::string, int> bad[] = {
        {"GET " + action, 408},
        {"GET " + action + " HTTP/1.1\r\nHost: " + host + "\r\n", 408},
        {"GET " + action + std::string(70000, 'a'), 413},
        {"GET " + action + " HTTP/1.1\r\nHost: " + host + "\r\nbroken\r\n\r\n", 400},
        {"GET " + action + "\xff HTTP/1.1\r\nHost: " + host + "\r\n\r\n", 400},
    };
    for (const auto& [request, status] : bad) {
        Reply r = exchange({request});
        EXPECT_TRUE(r.closed);
        EXPECT_EQ(r.status(), status) << request.substr(0, 80);
        EXPECT_EQ(r.json(), badRequest) << request.substr(0, 80);
    }
    // Another site's page, a foreign host name (DNS rebinding), no Host at all.
    std::vector<std::string> foreign = {
        "GET " + action + " HTTP/1.1\r\nHost: " + host + "\r\nOrigin: http://evil.test\r\n\r\n",
        "GET " + action + " HTTP/1.1\r\nHost: evil.test:" + std::to_string(server->port()) +
            "\r\n\r\n",
        "GET " + action + " HTTP/1.1\r\nHost: 127.0.0.1:1\r\n\r\n",
        "GET " + action + " HTTP/1.1\r\n\r\n",
    };
    for (const std::string& request : foreign) {
        Reply r = exchange({request});
        EXPECT_TRUE(r.bytes.startsWith("HTTP/1.1 403 Forbidden\r\n")) << request;
        EXPECT_EQ(r.json(), forbidden);
    }
    test::spinFor(300ms);
    EXPECT_TRUE(engine->torrent(id)->paused);

    // The same request from a local client runs; localhost is as good as the address.
    std::string local = "localhost:" + std::to_string(server->port());
    EXPECT_EQ(exchange({"GET " + action + " HTTP/1.1\r\nHost: " + local + "\r\n\r\n"}).json(),
              Json({{"ok", true}}));
    EXPECT_TRUE(test::waitUntil([&] { return !engine->torrent(id)->paused; }));
}

// Refusals keep the bodies callers read, and answer a 4xx status; what is
// served, {"ok": false} results included, answers 200.
TEST_F(ControlServerTest, EveryRefusalAnswersAClientErrorStatus) {
    std::string missing =
        QUrl::toPercentEncoding(QString::fromStdString((dir / "none.torrent").string()))
            .toStdString();
    struct Case {
        std::string target;
        int status;
        Json body; // null: any {"error"} text
    };
    const Case cases[] = {
        {"/State", 404, {{"error", "unknown"}}},
        {"/state/", 404, {{"error", "unknown"}}},
        {"/add?path=%zz", 400, {{"error", "bad request"}}},
        {"/add", 400, {{"error", "path"}}},
        {"/add?path=" + missing, 422, nullptr},
        {"/open", 400, {{"error", "path"}}},
        {"/limits?id=x&down=2097152", 400, {{"error", "limits"}}},
        {"/settings?down=2097152", 400, {{"error", "limits"}}},
        {"/play?id=x&file=y", 400, {{"error", "id/file"}}},
        {"/play?id=x&file=0", 400, {{"error", "file"}}},
        {"/track?option=off", 400, {{"error", "option"}}},
        {"/key?code=70000", 400, {{"error", "code"}}},
        {"/snapshot?window=main&path=/tmp/none.png", 400, {{"error", "window/path"}}},
        {"/open?path=/films/" + std::string(70000, 'a') + ".torrent",
         413,
         {{"error", "bad request"}}},
        {"/contents-action?action=recheck", 200, {{"ok", false}}},
        {"/key?code=49", 200, {{"handled", false}}},
        {"/select", 200, {{"ok", true}}},
    };
    for (const Case& c : cases) {
        Reply r = get(c.target);
        EXPECT_EQ(r.status(), c.status) << c.target.substr(0, 80);
        if (c.body.is_null()) {
            EXPECT_TRUE(r.json().contains("error")) << r.body();
            EXPECT_FALSE(r.json().value("error", "").empty());
        } else {
            EXPECT_EQ(r.json(), c.body) << c.target.substr(0, 80);
        }
    }
    EXPECT_TRUE(engine->pendingOpen().empty());
    EXPECT_TRUE(get("/state").bytes.startsWith("HTTP/1.1 200 OK\r\n"));
}

// A web page can make the browser send requests here (an image, a form, a
// script's fetch); the browser names the page in Sec-Fetch-Site, Referer or
// Origin, or uses another method. None of them runs; scripts and an address
// typed by the user do.
TEST_F(ControlServerTest, RefusesWhatBrowsersSendForWebPagesWithoutRunning) {
    swarm::GeneratedTorrent::Options o;
    o.name = "Gamma";
    o.files = {{"Gamma/movie.mkv", 256 * 1024}};
    auto gamma = swarm::GeneratedTorrent::create(dir / "seed", o);
    fs::path data = gamma.filePath(gamma.savePath(), 0);
    ASSERT_TRUE(fs::exists(data));
    auto added = engine->addTorrent(gamma.torrentPath(), gamma.savePath().string(), std::nullopt,
                                    true, false);
    ASSERT_TRUE(added) << added.error().message;
    std::string id = added->id;
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(id).has_value(); }));

    const std::string browser = "User-Agent: Mozilla/5.0 (X11; Linux x86_64; rv:128.0)\r\n"
                                "Accept-Language: ru,en;q=0.5\r\nConnection: keep-alive\r\n";
    const std::string page = "http://evil.test/page.html";
    struct Shape {
        const char* what;
        std::string method;
        std::string headers;
        std::string body;
    };
    const Shape shapes[] = {
        {"image", "GET",
         "Accept: image/avif,image/webp,*/*\r\nReferer: " + page +
             "\r\nSec-Fetch-Dest: image\r\nSec-Fetch-Mode: no-cors\r\n"
             "Sec-Fetch-Site: cross-site\r\n",
         ""},
        {"image, no referrer", "GET",
         "Accept: image/*\r\nSec-Fetch-Dest: image\r\nSec-Fetch-Mode: no-cors\r\n"
         "Sec-Fetch-Site: cross-site\r\n",
         ""},
        {"image from a page on another local port", "GET",
         "Accept: image/*\r\nSec-Fetch-Dest: image\r\nSec-Fetch-Mode: no-cors\r\n"
         "Sec-Fetch-Site: same-site\r\n",
         ""},
        {"image, browser without Sec-Fetch", "GET", "Accept: image/*\r\nReferer: " + page + "\r\n",
         ""},
        {"form POST", "POST",
         "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 6\r\n"
         "Origin: http://evil.test\r\nReferer: " +
             page +
             "\r\nSec-Fetch-Dest: document\r\nSec-Fetch-Mode: navigate\r\n"
             "Sec-Fetch-Site: cross-site\r\nSec-Fetch-User: ?1\r\n",
         "data=1"},
        {"form POST, no referrer and no Sec-Fetch", "POST",
         "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 6\r\n", "data=1"},
        {"form GET or link", "GET",
         "Referer: " + page +
             "\r\nSec-Fetch-Dest: document\r\nSec-Fetch-Mode: navigate\r\n"
             "Sec-Fetch-Site: cross-site\r\nSec-Fetch-User: ?1\r\n",
         ""},
        {"script fetch", "GET",
         "Accept: */*\r\nOrigin: http://evil.test\r\nReferer: " + page +
             "\r\nSec-Fetch-Dest: empty\r\nSec-Fetch-Mode: cors\r\nSec-Fetch-Site: "
             "cross-site\r\n",
         ""},
        {"script fetch, no-cors without referrer", "GET",
         "Accept: */*\r\nSec-Fetch-Dest: empty\r\nSec-Fetch-Mode: no-cors\r\n"
         "Sec-Fetch-Site: cross-site\r\n",
         ""},
        {"preflight", "OPTIONS",
         "Origin: http://evil.test\r\nAccess-Control-Request-Method: DELETE\r\n"
         "Sec-Fetch-Mode: cors\r\nSec-Fetch-Site: cross-site\r\n",
         ""},
        {"HEAD", "HEAD", "", ""},
    };
    const std::string targets[] = {"/remove?id=" + id + "&data=1", "/action?a=resume&id=" + id,
                                   "/settings?down=77", "/open?path=magnet:%3Fxt%3Durn:btih:abc"};
    int executed = 0;
    for (const Shape& shape : shapes) {
        for (const std::string& target : targets) {
            Reply r = exchange({shape.method + " " + target + " HTTP/1.1\r\nHost: " + host +
                                "\r\n" + browser + shape.headers + "\r\n" + shape.body});
            EXPECT_TRUE(r.bytes.startsWith("HTTP/1.1 403 Forbidden\r\n"))
                << shape.what << " " << target << ": " << r.bytes.left(60).toStdString();
            EXPECT_EQ(r.json(), Json({{"error", "forbidden"}})) << shape.what;
            executed += r.json() != Json({{"error", "forbidden"}});
        }
    }
    EXPECT_EQ(executed, 0);
    test::spinFor(300ms);
    ASSERT_TRUE(engine->torrent(id));
    EXPECT_TRUE(engine->torrent(id)->paused);
    EXPECT_EQ(engine->settings().downloadLimitKiB, 0);
    EXPECT_TRUE(engine->pendingOpen().empty());
    EXPECT_TRUE(fs::exists(data));

    // A plain client (curl) and an address the user typed into the browser run.
    EXPECT_EQ(test::curl(server->port(), "/settings?down=77").json()["ok"], true);
    EXPECT_EQ(engine->settings().downloadLimitKiB, 77);
    Reply typed =
        exchange({"GET /remove?id=" + id + "&data=1 HTTP/1.1\r\nHost: " + host + "\r\n" + browser +
                  "Sec-Fetch-Dest: document\r\nSec-Fetch-Mode: navigate\r\n"
                  "Sec-Fetch-Site: none\r\nSec-Fetch-User: ?1\r\n\r\n"});
    EXPECT_EQ(typed.json(), Json({{"ok", true}}));
    EXPECT_TRUE(test::waitUntil([&] { return !fs::exists(data); }));
}

TEST_F(ControlServerTest, CapsAndTimesOutConnections) {
    startServer({.readTimeout = 60s, .connectionTimeout = 2s});
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < ControlServer::kMaxConnections; ++i)
        idle.push_back(open());
    ASSERT_TRUE(test::waitUntil([&] { return server->openConnections() == 16; }));

    // The 17th is closed at once, without a reply.
    auto extra = open();
    extra->write("GET /state HTTP/1.1\r\nHost: " + QByteArray::fromStdString(host) + "\r\n\r\n");
    Reply refused = finish(*extra, 1500ms);
    EXPECT_TRUE(refused.closed);
    EXPECT_TRUE(refused.bytes.isEmpty());

    // Idle connections are closed when their time is up, and the server serves again.
    for (auto& s : idle)
        EXPECT_TRUE(finish(*s).closed);
    EXPECT_TRUE(test::waitUntil([&] { return server->openConnections() == 0; }));
    EXPECT_TRUE(get("/state").json().contains("torrents"));
}

// Sixteen clients close, and the seventeenth connects before the server has
// seen their ends: it is served.
TEST_F(ControlServerTest, ClientsThatClosedMakeRoomForTheNext) {
    auto connectTo = [&] {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(server->port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return fd;
    };
    std::string request = "GET /state HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
    for (int round = 0; round < 3; ++round) {
        std::vector<int> clients;
        for (int i = 0; i < ControlServer::kMaxConnections; ++i)
            clients.push_back(connectTo());
        ASSERT_TRUE(test::waitUntil([&] { return server->openConnections() == 16; })) << round;
        ::send(clients[0], "GET /sta", 8, 0);
        for (int fd : clients)
            ::close(fd);
        int next = connectTo();
        ASSERT_EQ(::send(next, request.data(), request.size(), 0),
                  static_cast<ssize_t>(request.size()));
        std::string got = test::replyUntilClosed(next);
        ::close(next);
        EXPECT_TRUE(got.starts_with("HTTP/1.1 200 OK\r\n")) << round << ": " << got.substr(0, 80);
        EXPECT_TRUE(test::waitUntil([&] { return server->openConnections() == 0; }));
    }
}

TEST_F(ControlServerTest, AddAndOpenRoutes) {
    swarm::GeneratedTorrent::Options o;
    o.name = "Beta";
    o.files = {{"a.mkv", 1 << 20}, {"b.txt", 1000}};
    auto beta = swarm::GeneratedTorrent::create(dir / "seed", o);
    auto encoded = [](const fs::path& p) {
        return QUrl::toPercentEncoding(QString::fromStdString(p.string())).toStdString();
    };
    EXPECT_EQ(get("/add").json(), Json({{"error", "path"}}));
    Json missing = get("/add?path=" + encoded(dir / "none.torrent")).json();
    ASSERT_TRUE(missing.contains("error"));
    EXPECT_FALSE(missing["error"].get<std::string>().empty());

    // Only the listed file is wanted.
    TorrentPreview preview = engine->preview(beta.torrentPath());
    ASSERT_TRUE(preview.files);
    std::int64_t wantedFile = -1;
    for (const auto& f : *preview.files)
        if (f.path.ends_with("b.txt"))
            wantedFile = f.i;
    Json added = get("/add?paused=1&files=" + std::to_string(wantedFile) + ",x&save=" +
                     encoded(dir / "downloads") + "&path=" + encoded(beta.torrentPath()))
                     .json();
    std::string id = added.value("id", "");
    ASSERT_FALSE(id.empty()) << added.dump();
    Json files;
    ASSERT_TRUE(test::waitUntil([&] {
        files = get("/files?id=" + id).json();
        return files.is_array() && !files.empty();
    }));
    for (const Json& f : files) {
        if (!f["path"].get<std::string>().contains(".pad")) {
            EXPECT_EQ(f["prio"], f["i"] == wantedFile ? 4 : 0) << f.dump();
        }
    }
    EXPECT_EQ(get("/add?path=" + encoded(beta.torrentPath())).json()["duplicate"], true);

    EXPECT_EQ(get("/open").json(), Json({{"error", "path"}}));
    EXPECT_EQ(get("/open?path=magnet:%3Fxt%3Durn:btih:abc").json(), Json({{"ok", true}}));
    ASSERT_FALSE(engine->pendingOpen().empty());
    EXPECT_EQ(engine->pendingOpen().back(), "magnet:?xt=urn:btih:abc");
    // A name beginning with ':' is a file in the working folder, not a resource.
    EXPECT_EQ(get("/open?path=" + encoded(":x.torrent")).json(), Json({{"ok", true}}));
    EXPECT_EQ(engine->pendingOpen().back(),
              QUrl::fromLocalFile(
                  QString::fromStdString((std::filesystem::current_path() / ":x.torrent").string()))
                  .toString(QUrl::FullyEncoded)
                  .toStdString());
}

TEST_F(ControlServerTest, StartsOnTheEnvironmentsPortOnly) {
    ControlServer other(*routes);
    qputenv("TEVRO_CONTROL_PORT", "70000");
    EXPECT_FALSE(other.startFromEnvironment());
    qunsetenv("TEVRO_CONTROL_PORT");
    EXPECT_FALSE(other.startFromEnvironment());
    int port = swarm::freeLoopbackPort();
    qputenv("TEVRO_CONTROL_PORT", QByteArray("+") + QByteArray::number(port));
    EXPECT_TRUE(other.startFromEnvironment());
    qunsetenv("TEVRO_CONTROL_PORT");
    EXPECT_EQ(other.port(), port);
    EXPECT_EQ(other.openConnections(), 0);
}

TEST_F(ControlServerTest, EngineQueryRoutesPassTheEnginesText) {
    std::string id = addTorrent();
    EXPECT_TRUE(get("/diagnostics").json().is_object());
    EXPECT_TRUE(get("/peers?id=" + id).json().is_array());
    EXPECT_EQ(get("/files?id=unknown").json(), Json::array());
    // A file index that is no number, or does not fit, means the whole torrent.
    Json whole = get("/pieces?id=" + id + "&file=-1").json();
    ASSERT_TRUE(whole["map"].is_string()) << whole.dump();
    EXPECT_EQ(whole["map"].get<std::string>().find_first_not_of("012"), std::string::npos);
    for (std::string file : {"x", "99999999999", ""})
        EXPECT_EQ(get("/pieces?id=" + id + "&file=" + file).json(), whole) << file;
    Json settings = get("/settings?profile=china&subs=never&audioLang=eng&autoplay=0").json();
    EXPECT_EQ(settings["ok"], true);
    EXPECT_EQ(settings["libtorrent"], engine->settings().libtorrentSettings());
    EXPECT_EQ(engine->settings().subtitleMode, SubtitleMode::never);
    EXPECT_EQ(engine->settings().audioLanguages, "eng");
    EXPECT_FALSE(engine->settings().autoplayNext);
}

// Without a window system, a player or a main window, the routes that need
// them still answer, and nothing is run.
TEST_F(ControlServerTest, RoutesWithoutWindowsOrPlayerStillAnswer) {
    const std::pair<std::string, Json> cases[] = {
        {"/window?open=player&size=10x10&name=main&back=1", {{"windows", Json::array()}}},
        {"/snapshot?window=main&path=/tmp/none.png", {{"error", "window/path"}}},
        {"/offers?action=present", CommandLayer::idleOffers()},
        {"/key?code=49", {{"handled", false}}},
        {"/player-diagnostics", Json::object()},
        {"/track?option=off", {{"error", "option"}}},
        {"/stop", {{"ok", true}}},
        {"/select?settings=1", {{"ok", true}}},
        {"/contents-action?action=recheck", {{"ok", false}}},
        {"/play?id=x&file=0", {{"error", "file"}}},
    };
    for (const auto& [target, expected] : cases)
        EXPECT_EQ(get(target).json(), expected) << target;
    EXPECT_EQ(get("/state").json()["ui"], CommandLayer::idleUi());
}
