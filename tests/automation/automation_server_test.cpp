#include "tevro/automation/automation_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/automation/automation_test_client.h"
#include "tests/automation/loopback_engine.h"
#include "tests/automation/socket_reply.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tests/support/temp_dir.h"
#include "tevro/automation/automation_api.h"
#include "tevro/automation/automation_request.h"
#include "tevro/automation/command_layer.h"
#include "tevro/engine/torrent_engine.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

mode_t modeOf(const fs::path& path) {
    struct stat info = {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

class AutomationServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureQtApp();
        unsetenv("TEVRO_MCP_DISABLED");
        engine = test::loopbackEngine(dir.path());
        commands = std::make_unique<CommandLayer>(*engine);
        api = std::make_unique<AutomationAPI>(*commands);
    }

    void TearDown() override {
        servers.clear();
        api.reset();
        engine->shutdown();
        unsetenv("TEVRO_MCP_DISABLED");
    }

    AutomationServer& makeServer(AutomationServer::Options options = {}) {
        auto call = [this](const std::string& name, const Json& args,
                           std::function<void(AutomationServer::Result)> done) {
            api->call(name, args, std::move(done));
        };
        servers.push_back(std::make_unique<AutomationServer>(folder(), call, options));
        return *servers.back();
    }

    fs::path folder() const { return dir / "home" / "automation"; }

    std::string request(const std::string& name, const Json& args, const std::string& token) {
        return Json{{"token", token}, {"name", name}, {"arguments", args}}.dump() + "\n";
    }

    test::TempDir dir;
    std::unique_ptr<TorrentEngine> engine;
    std::unique_ptr<CommandLayer> commands;
    std::unique_ptr<AutomationAPI> api;
    std::vector<std::unique_ptr<AutomationServer>> servers;
};

} // namespace

TEST_F(AutomationServerTest, PublishesTheEndpointServesOneCallPerConnectionAndCleansUp) {
    fs::create_directories(folder());
    fs::permissions(folder(), fs::perms::all);
    AutomationServer& server = makeServer();
    server.start();
    ASSERT_TRUE(server.isListening());

    EXPECT_EQ(modeOf(folder()), 0700u);
    EXPECT_EQ(modeOf(folder() / "endpoint.json"), 0600u);
    EXPECT_EQ(modeOf(folder() / "server.lock"), 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), fs::directory_iterator()), 2);
    Json endpoint = Json::parse(test::readAll(folder() / "endpoint.json"));
    EXPECT_EQ(endpoint.size(), 4u);
    EXPECT_EQ(endpoint["port"], server.port());
    EXPECT_EQ(endpoint["pid"], ::getpid());
    EXPECT_EQ(endpoint["version"], 1);
    std::string token = endpoint["token"];
    EXPECT_EQ(token.size(), 64u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(token, server.token());

    // A request split over several writes; the reply is compact and sorted.
    std::string text = request("get_settings", Json::object(), token);
    auto reply =
        test::exchange(server.port(), {text.substr(0, 10), text.substr(10, 30), text.substr(40)});
    ASSERT_TRUE(reply.closed);
    ASSERT_TRUE(reply.bytes.ends_with("}\n")) << reply.bytes;
    EXPECT_TRUE(reply.bytes.starts_with(R"({"ok":true,"result":{"add_paused":)")) << reply.bytes;
    EXPECT_EQ(Json::parse(reply.bytes)["result"], AutomationAPI::settings(engine->settings()));
    EXPECT_EQ(Json::parse(reply.bytes).dump() + "\n", reply.bytes);

    struct Case {
        std::vector<std::string> pieces;
        std::string reply;
    } cases[] = {
        {{request("nothing", Json::object(), token)},
         R"({"error":"Unknown tool: nothing","ok":false})"
         "\n"},
        {{request("get_state", Json::object(), std::string(64, '0'))},
         R"({"error":"Unauthorized or malformed request","ok":false})"
         "\n"},
        {{request("get_state", Json::object(), token) +
          request("get_state", Json::object(), token)},
         R"({"error":"Unauthorized or malformed request","ok":false})"
         "\n"},
        {{R"({"token":")" + token + R"(","name":"get_state"})" + "\n"},
         R"({"error":"Invalid command","ok":false})"
         "\n"},
        // Without a line feed and with the client's side closed: nothing.
        {{"{\"token\":", "shut"}, ""},
    };
    for (const Case& c : cases) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.port());
        ASSERT_TRUE(socket.waitForConnected(5000));
        for (const std::string& piece : c.pieces) {
            if (piece == "shut") {
                ::shutdown(static_cast<int>(socket.socketDescriptor()), SHUT_WR);
                continue;
            }
            socket.write(piece.data(), static_cast<qint64>(piece.size()));
            test::waitUntil([&] { return socket.bytesToWrite() == 0; });
        }
        auto r = test::readToEnd(socket);
        EXPECT_TRUE(r.closed);
        EXPECT_EQ(r.bytes, c.reply) << c.pieces.front().substr(0, 80);
    }

    // A client that closes its sending side after the line still gets the reply.
    {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(server.port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        std::string line = request("get_settings", Json::object(), token);
        ASSERT_EQ(::send(fd, line.data(), line.size(), 0), static_cast<ssize_t>(line.size()));
        ::shutdown(fd, SHUT_WR);
        char buffer[4096];
        std::string got;
        EXPECT_TRUE(test::waitUntil([&] {
            ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
                got.append(buffer, static_cast<std::size_t>(n));
            return n == 0;
        }));
        ::close(fd);
        EXPECT_TRUE(got.starts_with(R"({"ok":true,"result":)")) << got;
    }

    server.stop();
    server.stop();
    EXPECT_FALSE(server.isListening());
    EXPECT_TRUE(server.token().empty());
    EXPECT_FALSE(fs::exists(folder() / "endpoint.json"));
    EXPECT_TRUE(fs::exists(folder() / "server.lock"));
}

TEST_F(AutomationServerTest, RequestTooLargeReachesTheClientAndTheServerKeepsServing) {
    AutomationServer& server = makeServer();
    server.start();
    ASSERT_TRUE(server.isListening());
    std::string expected = R"({"error":"Request too large","ok":false})"
                           "\n";
    // One byte over the limit, line feed included; and far more than that.
    std::string over = std::string(AutomationRequest::kMaxSize, ' ') + "\n";
    for (std::size_t size : {over.size(), std::size_t(6) << 20}) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.port());
        ASSERT_TRUE(socket.waitForConnected(5000));
        std::string bytes = size == over.size() ? over : std::string(size, 'x');
        socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
        auto reply = test::readToEnd(socket);
        EXPECT_EQ(reply.bytes, expected) << size;
        EXPECT_NE(socket.error(), QAbstractSocket::NetworkError);
    }
    auto reply =
        test::exchange(server.port(), {request("get_state", Json::object(), server.token())});
    EXPECT_TRUE(reply.bytes.starts_with(R"({"ok":true,"result":)"));
}

TEST_F(AutomationServerTest, CapsConnectionsAtSixteenAndTimesThemOut) {
    AutomationServer& server = makeServer({.connectionTimeout = 1500ms});
    server.start();
    ASSERT_TRUE(server.isListening());
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < AutomationServer::kMaxConnections; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(QHostAddress::LocalHost, server.port());
        ASSERT_TRUE(idle.back()->waitForConnected(5000));
    }
    ASSERT_TRUE(test::waitUntil([&] { return server.openConnections() == 16; }));
    // The seventeenth is closed at once, without a reply.
    auto refused =
        test::exchange(server.port(), {request("get_state", Json::object(), server.token())});
    EXPECT_TRUE(refused.closed);
    EXPECT_EQ(refused.bytes, "");
    EXPECT_EQ(server.openConnections(), 16);

    // Idle connections are dropped when their time is up; then calls are served again.
    for (auto& socket : idle)
        EXPECT_TRUE(test::readToEnd(*socket).bytes.empty());
    EXPECT_EQ(server.openConnections(), 0);
    auto served =
        test::exchange(server.port(), {request("get_state", Json::object(), server.token())});
    EXPECT_TRUE(served.bytes.starts_with(R"({"ok":true,"result":)"));
}

// Sixteen clients close, and the seventeenth connects before the server has
// read their ends: it is served, in every round.
TEST_F(AutomationServerTest, ClientsThatClosedMakeRoomForTheNext) {
    AutomationServer& server = makeServer();
    server.start();
    ASSERT_TRUE(server.isListening());
    auto connectTo = [&] {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(server.port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return fd;
    };
    std::string line = request("get_settings", Json::object(), server.token());
    for (int round = 0; round < 5; ++round) {
        std::vector<int> clients;
        for (int i = 0; i < AutomationServer::kMaxConnections; ++i)
            clients.push_back(connectTo());
        ASSERT_TRUE(test::waitUntil([&] { return server.openConnections() == 16; })) << round;
        // One leaves half a request behind, one a whole one it no longer waits for.
        std::string refused = request("get_settings", Json::object(), std::string(64, '0'));
        ::send(clients[0], "{\"tok", 5, 0);
        ::send(clients[1], refused.data(), refused.size(), 0);
        // No event is handled between the closes and the newcomer's request.
        for (int fd : clients)
            ::close(fd);
        int next = connectTo();
        ASSERT_EQ(::send(next, line.data(), line.size(), 0), static_cast<ssize_t>(line.size()));
        std::string got = test::replyUntilClosed(next);
        ::close(next);
        EXPECT_TRUE(got.starts_with(R"({"ok":true,"result":)")) << round << ": " << got;
        EXPECT_TRUE(test::waitUntil([&] { return server.openConnections() == 0; }));
    }
}

TEST_F(AutomationServerTest, OneServerPerDataFolderAndTheDisablingVariable) {
    AutomationServer& first = makeServer();
    first.start();
    ASSERT_TRUE(first.isListening());
    std::string published = test::readAll(folder() / "endpoint.json");

    // The lock is per open file: a second server in this process is refused like another process.
    AutomationServer& second = makeServer();
    testing::internal::CaptureStderr();
    second.start();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(second.isListening());
    second.stop();
    EXPECT_EQ(test::readAll(folder() / "endpoint.json"), published);

    first.stop();
    EXPECT_FALSE(fs::exists(folder() / "endpoint.json"));
    second.start();
    EXPECT_TRUE(second.isListening());
    second.stop();

    struct Case {
        const char* value;
        bool serves;
    } cases[] = {{"1", false}, {"0", true}, {"yes", true}, {"true", true}, {"", true}};
    for (const Case& c : cases) {
        setenv("TEVRO_MCP_DISABLED", c.value, 1);
        first.start();
        EXPECT_EQ(first.isListening(), c.serves) << c.value;
        EXPECT_EQ(fs::exists(folder() / "endpoint.json"), c.serves) << c.value;
        first.stop();
    }
}

TEST_F(AutomationServerTest, RefusesLinkedFolderOrLockFileWithAMessage) {
    fs::create_directories(dir / "elsewhere");
    fs::create_directories(dir / "home");
    fs::create_symlink(dir / "elsewhere", folder());
    AutomationServer& server = makeServer();
    testing::internal::CaptureStderr();
    server.start();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Tevro automation unavailable: Unsafe automation directory\n");
    EXPECT_FALSE(server.isListening());

    fs::remove(folder());
    fs::create_directories(folder());
    fs::create_symlink(dir / "elsewhere" / "lock", folder() / "server.lock");
    testing::internal::CaptureStderr();
    server.start();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Tevro automation unavailable: Cannot open automation lock\n");
    EXPECT_FALSE(server.isListening());
    EXPECT_FALSE(fs::exists(dir / "elsewhere" / "lock"));
}

// A written document goes out between its head and tail, in as many sends
// as the socket takes, and whole.
TEST_F(AutomationServerTest, AWrittenResultArrivesWholeAcrossManySends) {
    std::string big = "[\"" + std::string(6 << 20, 'x') + "\"]";
    auto call = [&](const std::string&, const Json&,
                    std::function<void(AutomationServer::Result)> done) {
        done(AutomationResult::encoded(big));
    };
    servers.push_back(std::make_unique<AutomationServer>(folder(), call));
    AutomationServer& server = *servers.back();
    server.start();
    ASSERT_TRUE(server.isListening());
    auto reply =
        test::exchange(server.port(), {request("get_state", Json::object(), server.token())});
    ASSERT_TRUE(reply.closed);
    EXPECT_TRUE(reply.bytes == R"({"ok":true,"result":)" + big + "}\n")
        << reply.bytes.size() << " bytes";

    auto line = [](AutomationServer::Result result) {
        std::string joined;
        for (const std::string& piece : AutomationServer::replyPieces(std::move(result)))
            joined += piece;
        return joined;
    };
    EXPECT_EQ(line(AutomationResult::encoded(R"({"a":1})")), R"({"ok":true,"result":{"a":1}})"
                                                             "\n");
    EXPECT_EQ(line(Json{{"b", 2}}), R"({"ok":true,"result":{"b":2}})"
                                    "\n");
    EXPECT_EQ(line(std::unexpected(std::string("no"))), R"({"error":"no","ok":false})"
                                                        "\n");
    EXPECT_EQ(line(AutomationResult::encoded(std::string(AutomationServer::kMaxReply, 'x'))),
              std::string(AutomationServer::kReplyTooLarge) + "\n");
}

TEST(AutomationServerReply, SortsKeysAndFallsBackToTheFixedTexts) {
    Json reply = {{"ok", true}, {"result", {{"zeta", 1}, {"alpha", {{"b", 2}, {"a", 1}}}}}};
    EXPECT_EQ(AutomationServer::encodeReply(reply),
              R"({"ok":true,"result":{"alpha":{"a":1,"b":2},"zeta":1}})"
              "\n");
    EXPECT_EQ(AutomationServer::encodeReply(Json{{"ok", true}, {"result", "bad \xff utf-8"}}),
              R"({"ok":false,"error":"Response encoding failed"})"
              "\n");
    std::string big(AutomationServer::kMaxReply, 'x');
    EXPECT_EQ(AutomationServer::encodeReply(Json{{"ok", true}, {"result", big}}),
              R"({"ok":false,"error":"Response too large"})"
              "\n");
}

// get_state answers with the document's own text: the same content as the
// document at every moment, never a stale torrent, and bytes that are not
// UTF-8 replaced rather than failing the whole reply.
TEST_F(AutomationServerTest, GetStateIsTheDocumentAsTheRowsChange) {
    AutomationServer& server = makeServer();
    server.start();
    ASSERT_TRUE(server.isListening());
    auto getState = [&](const char* when) {
        auto reply =
            test::exchange(server.port(), {request("get_state", Json::object(), server.token())});
        EXPECT_TRUE(reply.bytes.starts_with(R"({"ok":true,"result":{)")) << when << reply.bytes;
        Json parsed = Json::parse(reply.bytes, nullptr, false);
        EXPECT_EQ(parsed["result"], Json::parse(CommandLayer::encode(commands->state()))) << when;
        return std::pair(parsed["result"], reply.bytes);
    };

    std::string save = (dir / "downloads").string();
    std::string hash(40, 'a'), other(40, 'b');
    auto first =
        engine->addMagnet("magnet:?xt=urn:btih:" + hash + "&dn=Alpha", save, false, true, false);
    ASSERT_TRUE(first) << first.error().message;
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrents().size() == 1; }));
    // Valid UTF-8 throughout: the very bytes a whole encoded reply has.
    auto [alone, bytes] = getState("one torrent");
    EXPECT_EQ(bytes, AutomationServer::encodeReply(Json{{"ok", true}, {"result", alone}}));
    ASSERT_EQ(alone["torrents"].size(), 1u);
    EXPECT_EQ(alone["torrents"][0]["name"], "Alpha");

    // A name of bytes that are not UTF-8, a second row before the first kept one.
    auto second = engine->addMagnet("magnet:?xt=urn:btih:" + other + "&dn=%FF%C0%AFBeta%E2%82",
                                    save, false, true, false);
    ASSERT_TRUE(second) << second.error().message;
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrents().size() == 2; }));
    engine->show("bad \xff toast");
    auto [two, _] = getState("two torrents");
    ASSERT_EQ(two["torrents"].size(), 2u);
    EXPECT_EQ(two["toast"], "bad \xEF\xBF\xBD toast");
    // The engine has repaired the name already; the reply shows it as the row has it.
    std::string beta = engine->torrent(second->id)->name;
    EXPECT_EQ(beta, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                    "Beta\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(two["torrents"][two["torrents"][0]["id"] == second->id ? 0 : 1]["name"], beta);

    // A row that changes is written again; a removed one is gone.
    engine->resume({first->id});
    ASSERT_TRUE(test::waitUntil([&] { return !engine->torrent(first->id)->paused; }));
    auto [resumed, __] = getState("resumed");
    for (const Json& t : resumed["torrents"])
        EXPECT_EQ(t["paused"], t["id"] != first->id) << t.dump();
    engine->remove({first->id}, false);
    ASSERT_TRUE(test::waitUntil([&] { return !engine->torrent(first->id); }));
    auto [removed, ___] = getState("removed");
    ASSERT_EQ(removed["torrents"].size(), 1u);
    EXPECT_EQ(removed["torrents"][0]["id"], second->id);
}
