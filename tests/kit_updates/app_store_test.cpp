#include <memory>

#include <QUrlQuery>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "quorvel-kit/updates/app_store_update_backend.h"
#include "tests/support/loopback_https_server.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

using namespace quorvel;
using Config = AppStoreUpdateConfiguration;

std::optional<Config> config(std::optional<std::uint64_t> id = std::nullopt,
                             const std::string& installed = "1.5",
                             const std::string& country = "de", const std::string& os = "13.6",
                             const std::string& bundle = "org.tevro.test") {
    auto made = Config::make(id, bundle, installed, os, country, Config::Platform::macOS);
    if (!made)
        return std::nullopt;
    return *made;
}

std::string entry(const std::string& version, nlohmann::json extra = nlohmann::json::object()) {
    nlohmann::json item = {{"trackId", 123},
                           {"bundleId", "org.tevro.test"},
                           {"version", version},
                           {"kind", "mac-software"}};
    item.update(extra);
    return nlohmann::json{{"resultCount", 1}, {"results", {item}}}.dump();
}

TEST(AppStoreConfiguration, ValidatesItsFields) {
    auto c = config(123);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->countryCode(), "DE");
    EXPECT_EQ(c->storeURL()->path(), "/de/app/id123");
    EXPECT_EQ(c->storeURL()->scheme(), "https");
    const QUrlQuery query(c->lookupURL());
    EXPECT_EQ(c->lookupURL().path(), "/lookup");
    EXPECT_EQ(query.queryItems(),
              (QList<QPair<QString, QString>>{
                  {"id", "123"}, {"country", "DE"}, {"entity", "macSoftware"}}));
    auto byBundle = config(std::nullopt, "1.5", "us", "13.6", "org.tevro test&x");
    ASSERT_TRUE(byBundle);
    EXPECT_FALSE(byBundle->storeURL());
    EXPECT_EQ(byBundle->lookupURL().query(QUrl::FullyEncoded),
              "bundleId=org.tevro%20test%26x&country=US&entity=macSoftware");

    for (const char* country : {"D1", "DEU", "ÄB", "", "XX", "d"})
        EXPECT_FALSE(config(std::nullopt, "1.5", country)) << country;
    EXPECT_FALSE(config(0));
    EXPECT_FALSE(config(std::nullopt, "1.2a"));
    EXPECT_FALSE(config(std::nullopt, "1.5", "de", "13.6-beta"));
    EXPECT_FALSE(config(std::nullopt, "1.5", "de", "13.6", ""));
    EXPECT_EQ(Config::platformFromRaw("software"), Config::Platform::iOS);
    EXPECT_EQ(Config::platformFromRaw("macsoftware"), std::nullopt);
}

TEST(AppStoreLookup, AnswersBecomeSnapshotsOrFailures) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string installed;
        std::optional<std::uint64_t> id;
        std::string body;
        std::optional<UpdateFailure> failure;
        UpdatePhase::Kind kind = UpdatePhase::Kind::upToDate;
    };
    const std::string empty = R"({"resultCount":0,"results":[]})";
    const std::string two = nlohmann::json{{"resultCount", 2},
                                           {"results",
                                            {nlohmann::json::parse(entry("2.0"))["results"][0],
                                             nlohmann::json::parse(entry("2.0"))["results"][0]}}}
                                .dump();
    const Case cases[] = {
        {"newer", "1.5", {}, entry("2.0"), {}, UpdatePhase::Kind::available},
        {"equal", "2.0", {}, entry("2.0.0"), {}},
        {"older in store", "1.10", {}, entry("1.9"), {}},
        {"no entry", "1.5", {}, empty, UpdateFailure::unavailableInStorefront},
        {"count mismatch",
         "1.5",
         {},
         R"({"resultCount":1,"results":[]})",
         UpdateFailure::invalidResponse},
        {"two entries", "1.5", {}, two, UpdateFailure::invalidResponse},
        {"not json", "1.5", {}, "<html>", UpdateFailure::invalidResponse},
        {"track 0", "1.5", {}, entry("2.0", {{"trackId", 0}}), UpdateFailure::invalidResponse},
        {"track negative",
         "1.5",
         {},
         entry("2.0", {{"trackId", -4}}),
         UpdateFailure::invalidResponse},
        {"track fraction",
         "1.5",
         {},
         entry("2.0", {{"trackId", 1.5}}),
         UpdateFailure::invalidResponse},
        {"track text",
         "1.5",
         {},
         entry("2.0", {{"trackId", "123"}}),
         UpdateFailure::invalidResponse},
        {"other track", "1.5", 999, entry("2.0"), UpdateFailure::invalidResponse},
        {"bundle case",
         "1.5",
         {},
         entry("2.0", {{"bundleId", "org.Tevro.test"}}),
         UpdateFailure::invalidResponse},
        {"wrong kind",
         "1.5",
         {},
         entry("2.0", {{"kind", "software"}}),
         UpdateFailure::invalidResponse},
        {"bad version", "1.5", {}, entry("2.0b"), UpdateFailure::invalidResponse},
        {"needs newer system",
         "1.5",
         {},
         entry("2.0", {{"minimumOsVersion", "14.0"}}),
         UpdateFailure::requiresNewerOS},
        {"bad minimum",
         "1.5",
         {},
         entry("2.0", {{"minimumOsVersion", "abc"}}),
         UpdateFailure::invalidResponse},
        {"missing kind",
         "1.5",
         {},
         R"({"resultCount":1,"results":[{"trackId":1,"bundleId":"org.tevro.test","version":"2"}]})",
         UpdateFailure::invalidResponse},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppStoreUpdateBackend backend(*config(c.id, c.installed), UserDefaults("s", dir.path()));
        const auto result = backend.parse(QByteArray::fromStdString(c.body));
        if (c.failure) {
            ASSERT_FALSE(result);
            EXPECT_EQ(result.error(), *c.failure);
        } else {
            ASSERT_TRUE(result);
            EXPECT_EQ(result->phase.kind(), c.kind);
        }
    }
    AppStoreUpdateBackend backend(*config(), UserDefaults("s", dir.path()));
    const auto available = backend.parse(QByteArray::fromStdString(entry("2.0")));
    EXPECT_EQ(*available, (UpdateSnapshot{UpdatePhase::available(
                                              {"2.0", "2.0", UpdateSource::appStore, std::nullopt}),
                                          {UpdateAction::check, UpdateAction::openAppStore,
                                           UpdateAction::later, UpdateAction::skip}}));
    EXPECT_EQ(backend.parse(QByteArray::fromStdString(entry("2.0", {{"releaseNotes", "N"}})))
                  ->phase.release()
                  ->releaseNotes,
              "N");
    // The entry passed its checks: its store page is known even when the system is too old.
    AppStoreUpdateBackend old(*config(), UserDefaults("s", dir.path()));
    EXPECT_FALSE(
        old.parse(QByteArray::fromStdString(entry("2.0", {{"minimumOsVersion", "14.0"}}))));
    EXPECT_EQ(old.resolvedStoreID(), 123u);
}

struct StoreService : ::testing::Test {
    struct QtFirst {
        QtFirst() { ensureQtApp(); }
    } qtFirst;
    TempDir dir;
    LoopbackHttpsServer server;
    // Whole seconds, so stored dates read back exactly.
    std::chrono::system_clock::time_point clock =
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    std::vector<QUrl> opened;
    bool openSucceeds = true;

    void SetUp() override {
        Config::setHosts({"127.0.0.1:" + std::to_string(server.port()), "apps.example"});
    }
    void TearDown() override { Config::setHosts({}); }

    std::unique_ptr<AppStoreUpdateBackend> backend(std::optional<std::uint64_t> id = std::nullopt,
                                                   const std::string& country = "de") {
        auto b = std::make_unique<AppStoreUpdateBackend>(
            *config(id, "1.5", country), UserDefaults("store", dir.path()),
            [this](const QUrl& url, std::function<void(bool)> done) {
                opened.push_back(url);
                done(openSucceeds);
            });
        b->setClock([this] { return clock; });
        return b;
    }

    std::string path(const AppStoreUpdateBackend& b) const {
        const QUrl url = b.configuration().lookupURL();
        return (url.path() + "?" + url.query(QUrl::FullyEncoded)).toStdString();
    }

    void answer(const AppStoreUpdateBackend& b, const std::string& body) {
        server.route(path(b), {.body = QByteArray::fromStdString(body)});
    }

    static bool settled(const AppStoreUpdateBackend& b) {
        return b.snapshot().phase.kind() != UpdatePhase::Kind::checking;
    }
};

TEST_F(StoreService, UserChecksThroughTheLookupService) {
    auto b = backend();
    b->perform(UpdateAction::check); // not started: inert
    EXPECT_EQ(server.log().size(), 0u);
    b->setAutomaticallyChecksForUpdates(false);
    b->start();
    const std::pair<std::string, UpdatePhase::Kind> replies[] = {
        {entry("2.0"), UpdatePhase::Kind::available},
        {entry("1.5.0"), UpdatePhase::Kind::upToDate},
        {R"({"resultCount":0,"results":[]})", UpdatePhase::Kind::failed},
        {"{\"resultCount\":", UpdatePhase::Kind::failed},
    };
    for (const auto& [body, kind] : replies) {
        answer(*b, body);
        clock += std::chrono::minutes(2); // past the reuse window
        b->perform(b->snapshot().actions.contains(UpdateAction::check) ? UpdateAction::check
                                                                       : UpdateAction::acknowledge);
        if (!b->snapshot().actions.contains(UpdateAction::cancel))
            b->perform(UpdateAction::check);
        EXPECT_EQ(b->snapshot().phase.kind(), UpdatePhase::Kind::checking);
        ASSERT_TRUE(waitUntil([&] { return settled(*b); }));
        EXPECT_EQ(b->snapshot().phase.kind(), kind) << body;
    }
    EXPECT_EQ(b->snapshot().phase.failure(), UpdateFailure::invalidResponse);
    // The earlier answer resolved the store page, so a failure offers it.
    EXPECT_EQ(b->snapshot().actions,
              (UpdateActions{UpdateAction::check, UpdateAction::openAppStore}));
    EXPECT_EQ(server.log().back().headers.count("cookie"), 0u);
}

TEST_F(StoreService, TransportRefusesRedirectsAndOversizedBodies) {
    auto b = backend();
    b->setAutomaticallyChecksForUpdates(false);
    b->start();
    auto run = [&](LoopbackHttpsServer::Route route) {
        server.route(path(*b), route);
        clock += std::chrono::minutes(2);
        b->perform(UpdateAction::check);
        EXPECT_TRUE(waitUntil([&] { return settled(*b); }));
        const auto phase = b->snapshot().phase;
        b->perform(UpdateAction::acknowledge);
        return phase;
    };
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    for (const std::string& location :
         {"http://" + host + "/x", "https://localhost:" + std::to_string(server.port()) + "/x",
          "https://user@" + host + "/x"}) {
        server.route("/x", {.body = QByteArray::fromStdString(entry("2.0"))});
        EXPECT_EQ(
            run({.status = 301, .headers = {{"Location", QByteArray::fromStdString(location)}}}),
            UpdatePhase::failed(UpdateFailure::network))
            << location;
    }
    EXPECT_EQ(server.requests("/x"), 0);
    // A redirect that stays on the service is followed.
    EXPECT_EQ(run({.status = 302,
                   .headers = {{"Location", QByteArray::fromStdString("https://" + host + "/x")}}})
                  .kind(),
              UpdatePhase::Kind::available);
    EXPECT_EQ(run({.status = 500, .body = "oops"}), UpdatePhase::failed(UpdateFailure::network));
    // "200 OK", then the connection drops before the declared length: a network failure.
    const QByteArray whole = QByteArray::fromStdString(entry("2.0"));
    EXPECT_EQ(run({.body = whole.left(whole.size() / 2), .declaredLength = whole.size()}),
              UpdatePhase::failed(UpdateFailure::network));

    std::string exact = entry("2.0");
    exact.resize(AppleStoreLookupTransport::kMaxBytes, ' ');
    EXPECT_EQ(run({.body = QByteArray::fromStdString(exact), .noLength = true}).kind(),
              UpdatePhase::Kind::available);
    EXPECT_EQ(run({.body = QByteArray::fromStdString(exact + " "), .noLength = true}),
              UpdatePhase::failed(UpdateFailure::invalidResponse));
    EXPECT_EQ(run({.body = "{}",
                   .declaredLength = AppleStoreLookupTransport::kMaxBytes + 1,
                   .stall = true}),
              UpdatePhase::failed(UpdateFailure::invalidResponse));
}

TEST_F(StoreService, RepeatedAndBackgroundChecks) {
    auto b = backend(123);
    UserDefaults defaults("store", dir.path());
    answer(*b, entry("2.0"));
    std::vector<UpdateSnapshot> published;
    b->onChange = [&](const UpdateSnapshot& s) { published.push_back(s); };
    b->start(); // automatic checks are on: the due test runs at once, in the background
    ASSERT_TRUE(waitUntil([&] { return server.log().size() == 1; }));
    ASSERT_TRUE(
        waitUntil([&] { return b->snapshot().phase.kind() == UpdatePhase::Kind::available; }));
    EXPECT_EQ(defaults.dateValue(b->key("nextCheck")), clock + std::chrono::seconds(86400));

    // Within a minute a user check reuses that answer.
    b->perform(UpdateAction::check);
    EXPECT_EQ(b->snapshot().phase.kind(), UpdatePhase::Kind::available);
    EXPECT_EQ(server.log().size(), 1u);

    b->perform(UpdateAction::skip);
    EXPECT_EQ(defaults.stringValue(b->key("skipped")), "2.0");
    EXPECT_EQ(b->snapshot(), (UpdateSnapshot{UpdatePhase::idle(), {UpdateAction::check}}));
    // A background check that finds the skipped release shows nothing.
    clock += std::chrono::hours(25);
    published.clear();
    b->checkIfDue();
    ASSERT_TRUE(waitUntil([&] { return server.log().size() == 2; }));
    spinFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(published.empty());
    EXPECT_EQ(defaults.dateValue(b->key("nextCheck")), clock + std::chrono::seconds(86400));

    // A clock set back two days makes the check due at once.
    defaults.setDate(b->key("nextCheck"), clock + std::chrono::hours(48));
    b->checkIfDue();
    EXPECT_TRUE(waitUntil([&] { return server.log().size() == 3; }));

    // The automatic switch is shared across countries; the rest is per country.
    auto us = backend(123, "us");
    EXPECT_EQ(b->key("automatic"), us->key("automatic"));
    EXPECT_NE(b->key("skipped"), us->key("skipped"));
    EXPECT_EQ(us->identifier(), "store.org.tevro.test.123.US");
}

TEST_F(StoreService, CancelLaterAndStorePage) {
    auto b = backend();
    b->setAutomaticallyChecksForUpdates(false);
    b->start();
    server.route(path(*b), {.body = "{", .declaredLength = 100, .stall = true});
    b->perform(UpdateAction::check);
    EXPECT_EQ(b->snapshot().actions, UpdateActions{UpdateAction::cancel});
    b->perform(UpdateAction::cancel);
    EXPECT_EQ(b->snapshot(), (UpdateSnapshot{UpdatePhase::idle(), {UpdateAction::check}}));
    spinFor(std::chrono::milliseconds(100));
    EXPECT_EQ(b->snapshot().phase.kind(), UpdatePhase::Kind::idle);

    // Without an identifier or a passed answer, a failed check offers no store page.
    server.route(path(*b), {.status = 404});
    clock += std::chrono::minutes(2);
    b->perform(UpdateAction::check);
    ASSERT_TRUE(waitUntil([&] { return settled(*b); }));
    EXPECT_EQ(b->snapshot().actions, UpdateActions{UpdateAction::check});

    answer(*b, entry("2.0"));
    b->perform(UpdateAction::check);
    ASSERT_TRUE(waitUntil([&] { return settled(*b); }));
    b->perform(UpdateAction::openAppStore);
    b->perform(UpdateAction::openAppStore); // the first is still opening
    ASSERT_TRUE(waitUntil([&] { return !opened.empty(); }));
    spinFor(std::chrono::milliseconds(50));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl("https://apps.example/de/app/id123"));
    openSucceeds = false;
    b->perform(UpdateAction::openAppStore);
    ASSERT_TRUE(waitUntil([&] { return b->snapshot().phase.kind() == UpdatePhase::Kind::failed; }));
    EXPECT_EQ(b->snapshot(), (UpdateSnapshot{UpdatePhase::failed(UpdateFailure::cannotOpenStore),
                                             {UpdateAction::check, UpdateAction::openAppStore}}));

    b->perform(UpdateAction::check);
    ASSERT_TRUE(waitUntil([&] { return settled(*b); }));
    b->perform(UpdateAction::later);
    EXPECT_EQ(UserDefaults("store", dir.path()).dateValue(b->key("deferUntil")),
              clock + std::chrono::seconds(86400));
}

} // namespace
} // namespace tevro::test
