#include "quorvel-kit/statistics/statistics_engine.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include "tests/kit_statistics/engine_harness.h"
#include "tests/kit_statistics/statistics_service.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using test::EngineHarness;
using test::HarnessOptions;
using test::kStart;
using test::StatisticsService;
using tevro::test::readAll;
using tevro::test::TempDir;
using tevro::test::waitUntil;
using tevro::test::writeAll;
using Reply = StatisticsService::Reply;
using Mode = StatisticsService::Mode;

HarnessOptions at(const StatisticsService& service) {
    HarnessOptions o;
    o.endpoint = service.url();
    o.transportTimeout = std::chrono::milliseconds(1500);
    return o;
}

void recordMany(EngineHarness& h, int n, size_t padding = 0) {
    h.run([n, padding](StatisticsEngine& e) {
        for (int i = 0; i < n; ++i)
            e.record("e" + std::to_string(i), {{"pad", StatValue(std::string(padding, 'p'))}},
                     kStart);
    });
}

size_t queuedCount(EngineHarness& h) {
    return h.get<size_t>([](StatisticsEngine& e) { return e.queuedCount(); });
}

TEST(UploadProtocol, EventsBodyIsTheStoredLinesInGzip) {
    tevro::test::ensureQtApp();
    StatisticsService service;
    TempDir dir;
    EngineHarness h(dir.path(), at(service));
    h.run([](StatisticsEngine& e) { e.bootstrap(); });
    std::string lines = readAll(dir / "queue.jsonl");
    ASSERT_TRUE(h.uploadAndWait());
    ASSERT_EQ(service.requests().size(), 1u);
    const auto& r = service.requests()[0];
    EXPECT_EQ(r.path, "/v1/events");
    EXPECT_EQ(r.headers.at("content-type"), "application/json");
    EXPECT_EQ(r.headers.at("content-encoding"), "gzip");
    EXPECT_EQ(r.rawBody.substr(0, 10), std::string("\x1f\x8b\x08\0\0\0\0\0\0\xff", 10));
    std::string first = lines.substr(37, lines.find('\n') - 37);
    std::string second = lines.substr(lines.find('\n') + 38);
    second.pop_back();
    std::string id = readAll(dir / "installation-id");
    EXPECT_EQ(r.body, "{\"app_id\":\"com.example.app\",\"installation_id\":\"" + id +
                          "\",\"events\":[" + first + "," + second + "]}");
    EXPECT_EQ(queuedCount(h), 0u);
    EXPECT_EQ(readAll(dir / "queue.jsonl"), "");
}

struct StatusCase {
    const char* label;
    Reply reply;
    bool kept;
    // What the answer leaves: back-off in seconds, and retryAt - now (range).
    double backoff;
    std::optional<std::pair<double, double>> retryIn;
};

// Each case follows a first attempt answered 500, so the back-off stands at
// 60 s and an answer that leaves it alone can be told from one that resets it.
TEST(UploadProtocol, EachAnswerKeepsDropsOrDelays) {
    tevro::test::ensureQtApp();
    std::pair<double, double> unchanged{48, 72};
    StatusCase cases[] = {
        {"200", {200}, false, 0, std::nullopt},
        {"202", {202}, false, 0, std::nullopt},
        {"400", {400}, false, 60, unchanged},
        {"413", {413}, false, 60, unchanged},
        {"415", {415}, false, 60, unchanged},
        {"429 Retry-After 120", {429, {{"Retry-After", "120"}}}, true, 60, {{120, 120}}},
        {"429 no Retry-After", {429}, true, 120, {{96, 144}}},
        {"503 Retry-After 200000", {503, {{"Retry-After", "200000"}}}, true, 60, {{86400, 86400}}},
        {"503 HTTP date",
         {503, {{"Retry-After", "Wed, 21 Oct 2015 07:28:00 GMT"}}},
         true,
         120,
         {{96, 144}}},
        {"500", {500}, true, 120, {{96, 144}}},
        {"dropped connection", {0, {}, Mode::drop}, true, 120, {{96, 144}}},
        {"stalled reply", {0, {}, Mode::stall}, true, 120, {{96, 144}}},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.label);
        StatisticsService service;
        service.script("/v1/events", {Reply{500}, c.reply});
        // Qt sends a request once more when the connection closes before any
        // answer; that one is dropped too.
        if (c.reply.mode == Mode::drop)
            service.setFallback(c.reply);
        TempDir dir;
        EngineHarness h(dir.path(), at(service));
        h.run([](StatisticsEngine& e) { e.bootstrap(); });
        ASSERT_TRUE(h.uploadAndWait());
        EXPECT_EQ(h.state().backoff, 60);
        h.clock->advance(1000);
        ASSERT_TRUE(h.uploadAndWait());
        ASSERT_GE(service.requests().size(), 2u);
        EXPECT_EQ(service.requests()[1].body, service.requests()[0].body) << "sent again unchanged";
        EXPECT_EQ(queuedCount(h), c.kept ? 2u : 0u);
        KitState s = h.state();
        EXPECT_EQ(s.backoff, c.backoff);
        if (!c.retryIn) {
            EXPECT_FALSE(s.retryAt);
        } else if (c.retryIn == unchanged) {
            ASSERT_TRUE(s.retryAt);
            EXPECT_GE(*s.retryAt - (kStart), 48);
            EXPECT_LE(*s.retryAt - (kStart), 72);
        } else {
            ASSERT_TRUE(s.retryAt);
            EXPECT_GE(*s.retryAt - h.clock->now, c.retryIn->first);
            EXPECT_LE(*s.retryAt - h.clock->now, c.retryIn->second);
        }
        EXPECT_EQ(KitState::decode(readAll(dir / "state.json")), s) << "saved after the answer";
    }
}

TEST(UploadProtocol, BackoffDoublesUpToSixHours) {
    tevro::test::ensureQtApp();
    StatisticsService service;
    service.setFallback({500});
    TempDir dir;
    EngineHarness h(dir.path(), at(service));
    h.run([](StatisticsEngine& e) { e.bootstrap(); });
    double expected[] = {60, 120, 240, 480, 960, 1920, 3840, 7680, 15360, 21600, 21600};
    for (double b : expected) {
        ASSERT_TRUE(h.uploadAndWait());
        EXPECT_EQ(h.state().backoff, b);
    }
}

TEST(UploadProtocol, RetryAfterParsing) {
    std::pair<const char*, std::optional<double>> cases[] = {
        {"120", 120},
        {"1.5", 1.5},
        {"-5", -5},
        {"0", 0},
        {"+7", 7},
        {"1e3", 1000},
        {" 120", std::nullopt},
        {"120 ", std::nullopt},
        {"120s", std::nullopt},
        {"Wed, 21 Oct 2015 07:28:00 GMT", std::nullopt},
        {"", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"1e400", std::nullopt},
        {"+-1", std::nullopt},
    };
    for (auto [text, value] : cases) {
        HttpResponse r;
        r.headers = {{"retry-after", text}};
        EXPECT_EQ(StatisticsEngine::retryAfter(r), value) << '"' << text << '"';
    }
    EXPECT_EQ(StatisticsEngine::retryAfter(HttpResponse{}), std::nullopt);
}

TEST(UploadProtocol, BatchesOfAHundredAndTheCadenceAfterThem) {
    tevro::test::ensureQtApp();
    for (int total : {130, 160}) {
        SCOPED_TRACE(total);
        StatisticsService service;
        TempDir dir;
        HarnessOptions o = at(service);
        o.timers = true;
        o.firstUploadDelay = 3600; // nothing fires unless flushed
        EngineHarness h(dir.path(), o);
        h.run([](StatisticsEngine& e) { e.bootstrap(); });
        recordMany(h, 20);
        EXPECT_EQ(h.get<std::optional<Date>>([](StatisticsEngine& e) { return e.uploadDue(); }),
                  kStart + 3600);
        recordMany(h, total - 22);
        // The 50th entry requested a flush: the first batch goes at once.
        ASSERT_TRUE(
            waitUntil([&] { return service.requests().size() >= (total == 130 ? 1u : 2u); }));
        ASSERT_TRUE(waitUntil([&] { return queuedCount(h) == size_t(total == 130 ? 30 : 0); }));
        EXPECT_EQ(service.requests()[0].json()["events"].size(), 100u);
        if (total == 130) {
            EXPECT_EQ(service.requests().size(), 1u);
            EXPECT_EQ(h.get<std::optional<Date>>([](StatisticsEngine& e) { return e.uploadDue(); }),
                      kStart + 1800);
        } else {
            EXPECT_EQ(service.requests()[1].json()["events"].size(), 60u);
        }
        EXPECT_EQ(service.mostOpen(), 1);
    }
}

TEST(UploadProtocol, AnOversizedEventGoesAlone) {
    tevro::test::ensureQtApp();
    StatisticsService service;
    TempDir dir;
    EngineHarness h(dir.path(), at(service));
    h.run([](StatisticsEngine& e) { e.bootstrap(); });
    ASSERT_TRUE(h.uploadAndWait());
    recordMany(h, 1, 950'000);
    recordMany(h, 1);
    ASSERT_TRUE(h.uploadAndWait());
    ASSERT_EQ(service.requests().size(), 2u);
    EXPECT_EQ(service.requests()[1].json()["events"].size(), 1u);
    EXPECT_EQ(queuedCount(h), 1u);
}

TEST(UploadProtocol, AfterAFailureTheNextAttemptWaitsForTheCadenceOrTheBackoff) {
    tevro::test::ensureQtApp();
    StatisticsService service;
    service.setFallback({500});
    TempDir dir;
    HarnessOptions o = at(service);
    o.timers = true;
    o.firstUploadDelay = 0;
    EngineHarness h(dir.path(), o);
    h.run([](StatisticsEngine& e) { e.bootstrap(); });
    ASSERT_TRUE(waitUntil(
        [&] { return h.get<int>([](StatisticsEngine& e) { return e.finishedUploads(); }) == 1; }));
    auto due = [&] {
        return h.get<std::optional<Date>>([](StatisticsEngine& e) { return e.uploadDue(); });
    };
    EXPECT_EQ(due(), kStart + 1800);
    h.run([](StatisticsEngine& e) { e.requestFlush(); });
    EXPECT_EQ(due(), h.state().retryAt);
    EXPECT_EQ(service.requests().size(), 1u);
}

// One damaged line used to make the whole body invalid, and the service's
// refusal dropped every good event of the batch with it.
TEST(UploadProtocol, ADamagedStoredEventIsLeftOutAndDropped) {
    tevro::test::ensureQtApp();
    StatisticsService service;
    TempDir dir;
    {
        EngineHarness h(dir.path(), at(service));
        h.run([](StatisticsEngine& e) { e.bootstrap(); });
    }
    std::string good = readAll(dir / "queue.jsonl");
    writeAll(dir / "queue.jsonl", "bad\t{\"event_id\":\"bad\",\"na\n" + good);
    EngineHarness h(dir.path(), at(service));
    h.run([](StatisticsEngine& e) { e.bootstrap(); });
    ASSERT_TRUE(h.uploadAndWait());
    ASSERT_EQ(service.requests().size(), 1u);
    nlohmann::json body = service.requests()[0].json();
    ASSERT_TRUE(body.is_object()) << service.requests()[0].body;
    EXPECT_EQ(body["events"].size(), 2u) << "the two events of the first run";
    EXPECT_EQ(readAll(dir / "queue.jsonl").find("bad"), std::string::npos);
}

// A flush during an upload used to cancel the request in flight, which then
// counted as a failure.
TEST(UploadProtocol, AFlushDuringAnUploadWaitsForItAndFollowsIt) {
    tevro::test::ensureQtApp();
    StatisticsService service;
    service.script("/v1/events", {Reply{202, {}, Mode::answer, 400}});
    TempDir dir;
    HarnessOptions o = at(service);
    o.timers = true;
    o.firstUploadDelay = 3600;
    EngineHarness h(dir.path(), o);
    h.run([](StatisticsEngine& e) {
        e.bootstrap();
        e.requestFlush();
    });
    ASSERT_TRUE(waitUntil([&] { return service.open() == 1; }));
    h.run([](StatisticsEngine& e) {
        e.record("during", {}, kStart);
        e.requestFlush();
        e.deleteCollectedData();
    });
    ASSERT_TRUE(waitUntil([&] { return service.requests().size() == 2u && service.open() == 0; }));
    EXPECT_EQ(service.requests()[0].path, "/v1/events");
    EXPECT_EQ(service.requests()[1].path, "/v1/data/delete");
    EXPECT_EQ(service.acceptedEvents().size(), 2u) << "the first request was answered, not cut";
    EXPECT_EQ(service.mostOpen(), 1);
    ASSERT_TRUE(waitUntil([&] { return h.state().pendingDeletions.empty(); }));
    EXPECT_EQ(h.state().backoff, 0);
    for (const auto& r : service.requests())
        EXPECT_FALSE(r.headers.contains("cookie"));
}

TEST(UploadProtocol, DeletionsComeFirstAndOnlyOnce) {
    tevro::test::ensureQtApp();
    StatisticsService service;
    service.script("/v1/data/delete", {Reply{500}, Reply{202}});
    TempDir dir;
    std::string old;
    {
        EngineHarness h(dir.path(), at(service));
        h.run([](StatisticsEngine& e) { e.bootstrap(); });
        old = readAll(dir / "installation-id");
        h.run([](StatisticsEngine& e) {
            e.deleteCollectedData();
            e.setEnabled(false);
        });
        ASSERT_TRUE(h.uploadAndWait());
        EXPECT_EQ(service.requests().size(), 1u) << "no events after a failed deletion";
        EXPECT_EQ(h.state().backoff, 60);
    }
    // The deletion survives a restart and is sent while collection is off.
    HarnessOptions o = at(service);
    o.enabled = false;
    EngineHarness h(dir.path(), o);
    h.run([](StatisticsEngine& e) { e.bootstrap(); });
    ASSERT_TRUE(h.uploadAndWait());
    ASSERT_TRUE(h.uploadAndWait());
    auto deletions = service.requests("/v1/data/delete");
    ASSERT_EQ(deletions.size(), 2u);
    EXPECT_EQ(deletions[1].json(),
              (nlohmann::json{{"app_id", "com.example.app"}, {"installation_id", old}}));
    EXPECT_FALSE(deletions[1].headers.contains("content-encoding"));
    EXPECT_TRUE(service.requests("/v1/events").empty());
    EXPECT_TRUE(h.state().pendingDeletions.empty());
    EXPECT_EQ(h.state().backoff, 60) << "only accepted events reset the back-off";
}

TEST(UploadProtocol, ADeletionAnswered400IsDone) {
    tevro::test::ensureQtApp();
    StatisticsService service;
    service.script("/v1/data/delete", {Reply{400}});
    TempDir dir;
    EngineHarness h(dir.path(), at(service));
    h.run([](StatisticsEngine& e) {
        e.bootstrap();
        e.deleteCollectedData();
        e.record("after", {}, kStart);
    });
    ASSERT_TRUE(h.uploadAndWait());
    EXPECT_TRUE(h.state().pendingDeletions.empty());
    ASSERT_EQ(service.requests().size(), 2u);
    EXPECT_EQ(service.requests()[1].path, "/v1/events");
}

TEST(UploadProtocol, WithoutAnEndpointNothingIsArmedOrSent) {
    tevro::test::ensureQtApp();
    TempDir dir;
    HarnessOptions o;
    o.timers = true;
    o.firstUploadDelay = 0;
    EngineHarness h(dir.path(), o); // a remote service on the test channel is refused
    h.run([](StatisticsEngine& e) {
        e.bootstrap();
        e.requestFlush();
        e.upload();
    });
    EXPECT_FALSE(h.get<std::optional<Date>>([](StatisticsEngine& e) { return e.uploadDue(); }));
    EXPECT_EQ(h.get<int>([](StatisticsEngine& e) { return e.finishedUploads(); }), 0);
    EXPECT_EQ(queuedCount(h), 2u);
}

} // namespace
} // namespace quorvel

namespace quorvel {
namespace {

// Sends one request through a fresh transport and waits for its result.
StatisticsTransport::Result sendOnce(URLSessionTransport& transport, const std::string& url) {
    std::optional<StatisticsTransport::Result> result;
    HttpRequest r;
    r.url = url;
    r.body = "{}";
    transport.send(r, [&](StatisticsTransport::Result got) { result = std::move(got); });
    EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
    return result.value_or(std::unexpected(std::string("no answer")));
}

TEST(URLSessionTransport, EveryStatusIsAnAnswerAndNoCookieGoesBack) {
    tevro::test::ensureQtApp();
    StatisticsService service;
    service.script("/x", {Reply{503, {{"Retry-After", "5"}}}, Reply{200}});
    URLSessionTransport transport;
    auto first = sendOnce(transport, service.url() + "x");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 503);
    EXPECT_EQ(first->body, "{}");
    EXPECT_EQ(first->header("retry-after"), "5");
    auto second = sendOnce(transport, service.url() + "x");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->status, 200);
    ASSERT_EQ(service.requests().size(), 2u);
    EXPECT_FALSE(service.requests()[1].headers.contains("cookie"));
}

TEST(URLSessionTransport, AnAnswerThatIsNotHttpFails) {
    tevro::test::ensureQtApp();
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        QTcpSocket* s = server.nextPendingConnection();
        s->write("SSH-2.0-nothing to see\r\n\r\n");
        s->disconnectFromHost();
    });
    URLSessionTransport transport;
    auto result = sendOnce(transport, "http://127.0.0.1:" + std::to_string(server.serverPort()) +
                                          "/v1/events");
    EXPECT_FALSE(result);
}

} // namespace
} // namespace quorvel
