#include "quorvel-kit/offers/offers_engine.h"

#include <atomic>
#include <mutex>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "quorvel-kit/offers/url_session_offers_transport.h"
#include "quorvel-kit/statistics/file_io.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/loopback_https_server.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using json = nlohmann::json;
using tevro::test::LoopbackHttpsServer;

constexpr Date kStart = 1'741'338'000; // 2025-03-07 09:00 UTC
const std::string kPath = "/v1/offers?appId=tevro&platform=macos&locale=ru&limit=20";

json item(const std::string& id) {
    return {{"id", id},
            {"targetAppId", "notaly"},
            {"frequency", {{"maxImpressionsPerDay", 2}, {"dismissForDays", 1}}},
            {"content", {{"title", "T " + id}, {"ctaLabel", "Go"}, {"ctaUrl", "https://n.test/"}}}};
}

QByteArray reply(std::vector<json> items) {
    return QByteArray::fromStdString(json{{"offers", items}}.dump());
}

std::vector<std::string> ids(const OffersEngine::Answer& answer) {
    std::vector<std::string> out;
    for (const auto& o : answer.value_or(std::vector<Offer>{}))
        out.push_back(o.id);
    return out;
}

class OffersEngineTest : public ::testing::Test {
protected:
    bool m_app = (tevro::test::ensureQtApp(), true);
    LoopbackHttpsServer server;
    tevro::test::TempDir dir;
    std::shared_ptr<std::atomic<double>> clock = std::make_shared<std::atomic<double>>(kStart);

    std::unique_ptr<OffersEngine> makeEngine(bool impressionLimits = false,
                                             std::optional<std::string> endpoint = {},
                                             Channel channel = Channel::test) {
        OffersConfiguration configuration(
            "tevro", QUrl(QString::fromStdString(endpoint.value_or(server.url("")))), dir.path(),
            20, false, impressionLimits, [] { return std::string("ru"); });
        OffersDependencies dependencies;
        dependencies.transport = std::make_shared<URLSessionOffersTransport>();
        dependencies.now = [c = clock] { return c->load(); };
        dependencies.timeZone = TimeZone::fixed(0);
        dependencies.channel = channel;
        return std::make_unique<OffersEngine>(configuration, dependencies);
    }

    OffersEngine::Answer ask(OffersEngine& engine, bool refresh = false) {
        std::mutex lock;
        std::optional<OffersEngine::Answer> answer;
        engine.available(refresh, [&](OffersEngine::Answer a) {
            std::lock_guard guard(lock);
            answer = std::move(a);
        });
        EXPECT_TRUE(tevro::test::waitUntil([&] {
            std::lock_guard guard(lock);
            return answer.has_value();
        }));
        std::lock_guard guard(lock);
        return answer.value_or(std::nullopt);
    }

    template <typename Call> void wait(Call call) {
        std::atomic<bool> done = false;
        call([&] { done = true; });
        EXPECT_TRUE(tevro::test::waitUntil([&] { return done.load(); }));
    }

    json stateFile() { return json::parse(readFile(dir.path() / "offers.json").value_or("null")); }
};

TEST_F(OffersEngineTest, FreshReplyThenConditionalRequestAndNotModified) {
    server.route(kPath, {.body = reply({item("a"), item("b")}), .headers = {{"ETag", "\"e1\""}}});
    auto engine = makeEngine();
    EXPECT_EQ(ids(ask(*engine)), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(server.requests(kPath), 1);
    json stored = stateFile();
    EXPECT_EQ(stored["cacheKey"], "ru|");
    EXPECT_EQ(stored["etag"], "\"e1\"");
    EXPECT_EQ(stored["fetchedAt"], kStart - kReferenceDateOffset);
    EXPECT_FALSE(server.log().back().headers.contains("if-none-match"));

    *clock = kStart + 299;
    EXPECT_EQ(ids(ask(*engine)).size(), 2u);
    EXPECT_EQ(server.requests(kPath), 1);

    server.route(kPath, {.status = 304});
    *clock = kStart + 300;
    EXPECT_EQ(ids(ask(*engine)).size(), 2u);
    EXPECT_EQ(server.requests(kPath), 2);
    EXPECT_EQ(server.log().back().headers.at("if-none-match"), "\"e1\"");
    EXPECT_EQ(stateFile()["fetchedAt"], kStart + 300 - kReferenceDateOffset);

    // A forced refresh always asks.
    EXPECT_EQ(ids(ask(*engine, true)).size(), 2u);
    EXPECT_EQ(server.requests(kPath), 3);
}

TEST_F(OffersEngineTest, FailureBacksOffAndDropsTheStoredReply) {
    server.route(kPath, {.body = reply({item("a")})});
    auto engine = makeEngine();
    EXPECT_EQ(ids(ask(*engine)).size(), 1u);
    server.route(kPath, {.status = 503});
    *clock = kStart + 400;
    EXPECT_EQ(ask(*engine), std::nullopt);
    EXPECT_FALSE(stateFile().contains("body"));
    *clock = kStart + 459;
    EXPECT_EQ(ask(*engine), std::nullopt);
    EXPECT_EQ(server.requests(kPath), 2);
    EXPECT_EQ(ask(*engine, true), std::nullopt);
    EXPECT_EQ(server.requests(kPath), 3);

    // Over an hour of a failing service the engine asks once a minute at most.
    for (int minute = 0; minute < 60; ++minute)
        for (int second = 0; second < 60; second += 20) {
            *clock = kStart + 1000 + minute * 60 + second;
            ask(*engine);
        }
    EXPECT_LE(server.requests(kPath), 3 + 60);
    EXPECT_GE(server.requests(kPath), 3 + 59);
}

TEST_F(OffersEngineTest, ReplySizeLimitAndDefectiveBodies) {
    QByteArray exact = reply({item("a")});
    exact += QByteArray(262'144 - exact.size(), ' ');
    server.route(kPath, {.body = exact});
    auto engine = makeEngine();
    EXPECT_EQ(ids(ask(*engine, true)).size(), 1u);

    for (QByteArray body :
         {exact + " ", QByteArray("{\"offers\":[{\"id\":1}]}"), QByteArray("<html>")}) {
        server.route(kPath, {.body = body});
        EXPECT_EQ(ask(*engine, true), std::nullopt) << body.left(40).toStdString();
    }
}

TEST_F(OffersEngineTest, ScheduleDismissalsAndImpressionsPersist) {
    json early = item("early"), late = item("late"), huge = item("huge");
    early["startsAt"] = "2025-03-07T09:00:00Z"; // equal to now: shown
    late["endsAt"] = "2025-03-07T09:00:01Z";
    huge["frequency"]["dismissForDays"] = INT64_MAX;
    server.route(kPath, {.body = reply({early, late, huge, item("d")})});
    {
        auto engine = makeEngine(true);
        EXPECT_EQ(ids(ask(*engine)), (std::vector<std::string>{"early", "late", "huge", "d"}));
        wait([&](auto done) { engine->dismiss("d", done); });
        wait([&](auto done) { engine->dismiss("huge", done); });
        wait([&](auto done) { engine->markShown({"early", "early"}, done); });
        *clock = kStart + 1;
        EXPECT_EQ(ids(ask(*engine)), (std::vector<std::string>{}));
    }
    // A new engine reads the same file: dismissals and impressions held.
    *clock = kStart + 2;
    auto engine = makeEngine(true);
    EXPECT_EQ(ids(ask(*engine)), (std::vector<std::string>{}));
    // The next day the impression count no longer hides; the dismissal
    // still does for one second more.
    *clock = kStart + 86'399;
    EXPECT_EQ(ids(ask(*engine)), (std::vector<std::string>{"early"}));
    *clock = kStart + 86'400;
    EXPECT_EQ(ids(ask(*engine)), (std::vector<std::string>{"early", "d"}));
    EXPECT_EQ(stateFile()["impressions"]["early"]["2025-03-07"], 2);
}

TEST_F(OffersEngineTest, EndpointRules) {
    server.route(kPath, {.body = reply({item("a")})});
    // Release channels take only a configured https endpoint.
    EXPECT_EQ(ids(ask(*makeEngine(false, {}, Channel::direct))).size(), 1u);
    EXPECT_EQ(ask(*makeEngine(false, "http://127.0.0.1:1", Channel::direct), true), std::nullopt);
    // The scheme as written, not as QUrl lower-cases it: "HTTPS" is refused, "https" taken.
    for (const std::string scheme : {"HTTPS", "https"}) {
        tevro::test::TempDir own;
        OffersDependencies dependencies;
        dependencies.transport = std::make_shared<URLSessionOffersTransport>();
        dependencies.now = [c = clock] { return c->load(); };
        dependencies.channel = Channel::direct;
        std::string written = server.url("");
        written.replace(0, 5, scheme);
        OffersEngine engine(OffersConfiguration("tevro", QString::fromStdString(written),
                                                own.path(), 20, false, false,
                                                [] { return std::string("ru"); }),
                            dependencies);
        EXPECT_EQ(ask(engine, true).has_value(), scheme == "https") << scheme;
    }
    EXPECT_EQ(server.requests(kPath), 2);
    // Test channels talk only to this machine.
    EXPECT_EQ(ask(*makeEngine(false, "https://offers.example.com", Channel::test), true),
              std::nullopt);
    EXPECT_EQ(server.requests(kPath), 2);

    tevro::test::LoopbackHttpServer plain;
    plain.route("/api/v1/offers?appId=tevro&platform=macos&locale=ru&limit=20&installedAppIds="
                "lumora,sonaro",
                {200, reply({item("p")}), false});
    OffersConfiguration configuration("tevro", QUrl("https://offers.example.com"), dir.path(), 20,
                                      true, false, [] { return std::string("ru"); });
    OffersDependencies dependencies;
    dependencies.transport = std::make_shared<URLSessionOffersTransport>();
    dependencies.now = [c = clock] { return c->load(); };
    dependencies.channel = Channel::test;
    dependencies.processEnvironment = {{"QUORVEL_OFFERS_ENDPOINT", plain.url("/api")}};
    dependencies.installedApps = [] {
        return std::vector<std::string>{"sonaro", "tevro", "lumora"};
    };
    OffersEngine engine(configuration, dependencies);
    EXPECT_EQ(ids(ask(engine, true)), std::vector<std::string>{"p"});
    EXPECT_EQ(stateFile()["cacheKey"], "ru|lumora,sonaro");
}

TEST_F(OffersEngineTest, StateFileUnderTestRoot) {
    OffersConfiguration configuration("tevro", QUrl("https://offers.test"), std::nullopt, 20, false,
                                      false, {});
    OffersDependencies dependencies;
    dependencies.processEnvironment = {{"QUORVEL_TEST_ROOT", dir.path().string()}};
    OffersEngine engine(configuration, dependencies);
    EXPECT_EQ(engine.stateURL(), dir.path() / "quorvel-kit" / "tevro" / "offers.json");
}

} // namespace
} // namespace quorvel

namespace quorvel {
namespace {

TEST(OffersEngineInFlight, BookkeepingDuringARequestIsKept) {
    tevro::test::ensureQtApp();
    auto server = std::make_unique<LoopbackHttpsServer>();
    server->route(kPath, {.body = "{", .declaredLength = 100, .stall = true});
    tevro::test::TempDir dir;
    OffersDependencies dependencies;
    dependencies.transport = std::make_shared<URLSessionOffersTransport>();
    dependencies.now = [] { return kStart; };
    dependencies.timeZone = TimeZone::fixed(0);
    dependencies.channel = Channel::test;
    OffersEngine engine(OffersConfiguration("tevro", QUrl(QString::fromStdString(server->url(""))),
                                            dir.path(), 20, false, false,
                                            [] { return std::string("ru"); }),
                        dependencies);
    std::atomic<bool> answered = false, marked = false;
    engine.available(true, [&](OffersEngine::Answer) { answered = true; });
    ASSERT_TRUE(tevro::test::waitUntil([&] { return server->log().size() == 1; }));
    engine.markShown({"a"}, [&] { marked = true; });
    engine.dismiss("b");
    ASSERT_TRUE(tevro::test::waitUntil([&] { return marked.load(); }));
    EXPECT_FALSE(answered);
    server.reset(); // the connection drops mid-body: a failed fetch
    ASSERT_TRUE(tevro::test::waitUntil([&] { return answered.load(); }));
    json stored = json::parse(readFile(dir.path() / "offers.json").value_or("null"));
    EXPECT_EQ(stored["impressions"]["a"]["2025-03-07"], 1);
    EXPECT_TRUE(stored["dismissed"].contains("b"));
    EXPECT_TRUE(stored.contains("failedAt"));
}

} // namespace
} // namespace quorvel
