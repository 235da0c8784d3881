#include "quorvel-kit/statistics/statistics_engine.h"

#include <set>

#include <gtest/gtest.h>

#include "tests/kit_statistics/engine_harness.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using test::EngineHarness;
using test::HarnessOptions;
using test::kStart;
using tevro::test::readAll;
using tevro::test::TempDir;
using tevro::test::writeAll;

std::vector<std::string> names(const std::vector<nlohmann::json>& events) {
    std::vector<std::string> out;
    for (const auto& e : events)
        out.push_back(e["name"]);
    return out;
}

std::string identity(const TempDir& dir) {
    return readAll(dir / "installation-id");
}

TEST(StatisticsEngine, FirstStartWritesEnvelopesStateAndIdentity) {
    TempDir dir;
    EngineHarness h(dir.path());
    h.run([](StatisticsEngine& e) {
        e.record("early", {{"n", 1}}, kStart - 5);
        e.bootstrap();
    });
    auto events = h.queued();
    ASSERT_EQ(names(events),
              (std::vector<std::string>{"install_activated", "active_day", "early"}));
    std::string id = identity(dir);
    EXPECT_EQ(id.size(), 36u);
    EXPECT_EQ(h.get<std::string>([](StatisticsEngine& e) { return e.installationID(); }), id);

    const nlohmann::json& first = events[0];
    EXPECT_EQ(first.size(), 17u);
    EXPECT_EQ(first["seq"], 0);
    EXPECT_EQ(first["schema"], 1);
    EXPECT_EQ(first["app_id"], "com.example.app");
    EXPECT_EQ(first["channel"], "test");
    EXPECT_EQ(first["locale"], "ru");
    EXPECT_EQ(first["installation_id"], id);
    EXPECT_EQ(first["client_time"], "2024-05-01T09:30:00.250Z");
    EXPECT_EQ(first["local_date"], "2024-05-01");
    EXPECT_EQ(first["props"], nlohmann::json::object());
    EXPECT_EQ(events[1]["seq"], 1);
    EXPECT_EQ(events[1]["props"],
              nlohmann::json::parse(R"({"launch_at_login":true,"days_since_install":"0"})"));
    EXPECT_EQ(events[2]["client_time"], "2024-05-01T09:29:55.250Z") << "its own date";
    EXPECT_EQ(events[2]["props"]["n"], 1);

    // Stored compact, keys sorted, slashes as they are.
    std::string line = readAll(dir / "queue.jsonl");
    EXPECT_EQ(line.substr(0, 36), first["event_id"].get<std::string>());
    EXPECT_EQ(line.substr(37, line.find('\n') - 37), first.dump());

    auto state = KitState::decode(readAll(dir / "state.json"));
    ASSERT_TRUE(state);
    EXPECT_EQ(state->seq, 3);
    EXPECT_EQ(state->lastVersion, "1.0");
    EXPECT_EQ(state->installedAt, kStart);
}

TEST(StatisticsEngine, RestartsKeepOrRecoverTheIdentity) {
    TempDir dir;
    std::string id;
    {
        EngineHarness h(dir.path());
        h.run([](StatisticsEngine& e) { e.bootstrap(); });
        id = identity(dir);
    }
    {
        HarnessOptions o;
        o.version = "1.1";
        EngineHarness h(dir.path(), o);
        h.run([](StatisticsEngine& e) { e.bootstrap(); });
        EXPECT_EQ(identity(dir), id) << "stable across runs";
        auto events = h.queued();
        EXPECT_EQ(events.back()["name"], "app_updated");
        EXPECT_EQ(events.back()["props"]["from_version"], "1.0");
        EXPECT_EQ(events.back()["seq"], 2);
    }
    std::filesystem::remove(dir / "state.json");
    writeAll(dir / "installation-id",
             "  " + QString::fromStdString(id).toUpper().toStdString() + "\n");
    {
        EngineHarness h(dir.path());
        h.run([](StatisticsEngine& e) { e.bootstrap(); });
        auto events = h.queued();
        EXPECT_EQ(events.back()["name"], "active_day");
        EXPECT_EQ(events[events.size() - 2]["name"], "reinstall_detected");
        EXPECT_EQ(events.back()["installation_id"], id) << "upper case accepted, used in lower";
        // A fresh state, but the queue still holds events 0 to 2 of this identity.
        EXPECT_EQ(events.back()["seq"], 4) << "numbers go on above the queued events";
    }
    std::filesystem::remove(dir / "installation-id");
    {
        EngineHarness h(dir.path());
        h.run([](StatisticsEngine& e) { e.bootstrap(); });
        EXPECT_NE(identity(dir), id) << "a cleared store gives a new identity";
        EXPECT_EQ(identity(dir).size(), 36u);
    }
    writeAll(dir / "installation-id", "not-a-uuid");
    std::filesystem::remove(dir / "state.json");
    {
        EngineHarness h(dir.path());
        h.run([](StatisticsEngine& e) { e.bootstrap(); });
        EXPECT_NE(identity(dir), "not-a-uuid");
        EXPECT_EQ(h.queued().back()["name"], "active_day");
        EXPECT_EQ(h.queued()[h.queued().size() - 2]["name"], "install_activated");
    }
}

// The state is saved a little after an append; a crash before that leaves
// the queue ahead of it. The next run numbers above every queued event.
TEST(StatisticsEngine, SequenceNumbersGoOnAboveTheQueueAfterACrash) {
    TempDir dir;
    {
        EngineHarness h(dir.path());
        h.run([](StatisticsEngine& e) {
            e.bootstrap(); // saves the state
            for (int i = 0; i < 3; ++i)
                e.record("after the save", {}, kStart + i);
        });
        // Gone without saving again, as in a crash.
    }
    EXPECT_EQ(KitState::decode(readAll(dir / "state.json"))->seq, 2);
    EngineHarness h(dir.path());
    h.run([](StatisticsEngine& e) {
        e.bootstrap();
        e.record("next run", {}, kStart + 10);
    });
    std::set<int64_t> seen;
    for (const auto& event : h.queued())
        EXPECT_TRUE(seen.insert(event["seq"].get<int64_t>()).second) << event.dump();
    EXPECT_EQ(h.queued().back()["seq"], 5);
}

TEST(StatisticsEngine, DisabledAtBootstrapRecordsNothingButUpdatesVersion) {
    TempDir dir;
    {
        EngineHarness h(dir.path());
        h.run([](StatisticsEngine& e) { e.bootstrap(); });
    }
    std::filesystem::remove(dir / "queue.jsonl");
    HarnessOptions o;
    o.version = "2.0";
    o.enabled = false;
    EngineHarness h(dir.path(), o);
    h.run([](StatisticsEngine& e) {
        e.record("early", {}, kStart);
        e.bootstrap();
        e.record("late", {}, kStart);
    });
    EXPECT_TRUE(h.queued().empty());
    EXPECT_EQ(KitState::decode(readAll(dir / "state.json"))->lastVersion, "2.0");
}

TEST(StatisticsEngine, ActiveDayOncePerLocalDayWithBuckets) {
    TempDir dir;
    EngineHarness h(dir.path());
    h.run([](StatisticsEngine& e) { e.bootstrap(); });
    h.run([](StatisticsEngine& e) { e.checkActiveDay(); });
    EXPECT_EQ(h.queued().size(), 2u);
    h.run([](StatisticsEngine& e) { e.updatePermissions({{"camera", PermissionState::denied}}); });
    struct Step {
        double days;
        const char* bucket;
    } steps[] = {{1, "1"}, {3, "2-7"}, {20, "8-30"}, {60, "31-90"}, {300, "91-365"}, {400, "365+"}};
    for (const Step& s : steps) {
        h.clock->now = kStart + s.days * 86400;
        h.run([](StatisticsEngine& e) { e.checkActiveDay(); });
        auto last = h.queued().back();
        EXPECT_EQ(last["name"], "active_day");
        EXPECT_EQ(last["props"]["days_since_install"], s.bucket);
        EXPECT_EQ(last["props"]["permissions"]["camera"], "denied");
    }
}

TEST(StatisticsEngine, FeatureDaysBecomeBucketedEvents) {
    TempDir dir;
    EngineHarness h(dir.path());
    h.run([](StatisticsEngine& e) { e.bootstrap(); });
    int counts[] = {1, 2, 5, 6, 20, 21, 100, 101};
    for (int n : counts)
        for (int i = 0; i < n; ++i)
            h.counters->count("f" + std::to_string(n), kStart + 1);
    h.run([](StatisticsEngine& e) { e.save(); });
    auto saved = KitState::decode(readAll(dir / "state.json"));
    ASSERT_TRUE(saved && saved->features) << "the day in progress is saved";
    EXPECT_EQ(saved->features->counts.at("f101"), 101);

    h.clock->advance(86400);
    h.run([](StatisticsEngine& e) { e.rollFeatures(); });
    auto last = h.queued().back();
    EXPECT_EQ(last["name"], "feature_daily");
    EXPECT_EQ(last["client_time"], "2024-05-01T09:30:01.250Z") << "dated at the last count";
    EXPECT_EQ(last["props"]["counts"],
              nlohmann::json::parse(R"({"f1":"1","f2":"2-5","f5":"2-5","f6":"6-20","f20":"6-20",
                                        "f21":"21-100","f100":"21-100","f101":"100+"})"));
}

TEST(StatisticsEngine, FeatureDayInProgressSurvivesARestart) {
    TempDir dir;
    {
        EngineHarness h(dir.path());
        h.run([](StatisticsEngine& e) { e.bootstrap(); });
        h.counters->count("export", kStart);
        h.run([](StatisticsEngine& e) { e.save(); });
    }
    EngineHarness h(dir.path());
    h.clock->advance(86400);
    h.run([](StatisticsEngine& e) { e.bootstrap(); });
    bool found = false;
    for (const auto& e : h.queued())
        found |= e["name"] == "feature_daily" && e["props"]["counts"]["export"] == "1";
    EXPECT_TRUE(found);
}

TEST(StatisticsEngine, PermissionsRecordOnlyChanges) {
    TempDir dir;
    EngineHarness h(dir.path());
    h.run([](StatisticsEngine& e) { e.bootstrap(); });
    size_t before = h.queued().size();
    h.run([](StatisticsEngine& e) {
        e.updatePermissions({});
        e.updatePermissions({{"camera", PermissionState::granted}});
        e.updatePermissions({{"camera", PermissionState::granted}});
        e.updatePermissions({{"mic", PermissionState::notDetermined}});
    });
    auto events = h.queued();
    ASSERT_EQ(events.size(), before + 2);
    EXPECT_EQ(events.back()["props"]["permissions"],
              nlohmann::json::parse(R"({"camera":"granted","mic":"not_determined"})"));
}

TEST(StatisticsEngine, SwitchingOffClearsQueueAndCountersOnRecordsNewDayOnly) {
    TempDir dir;
    EngineHarness h(dir.path());
    h.run([](StatisticsEngine& e) { e.bootstrap(); });
    h.counters->count("a", kStart);
    h.run([](StatisticsEngine& e) { e.setEnabled(false); });
    EXPECT_FALSE(std::filesystem::exists(dir / "queue.jsonl"));
    EXPECT_FALSE(h.counters->current());
    h.run([](StatisticsEngine& e) { e.record("dropped", {}, kStart); });
    EXPECT_TRUE(h.queued().empty());
    h.run([](StatisticsEngine& e) { e.setEnabled(true); });
    EXPECT_TRUE(h.queued().empty()) << "same local day: no second active day";
    h.run([](StatisticsEngine& e) { e.setEnabled(false); });
    h.clock->advance(86400);
    h.run([](StatisticsEngine& e) { e.setEnabled(true); });
    EXPECT_EQ(names(h.queued()), std::vector<std::string>{"active_day"});
}

TEST(StatisticsEngine, DeletionAfterBootstrapQueuesOldIdentityAndTakesANewOne) {
    TempDir dir;
    EngineHarness h(dir.path());
    h.run([](StatisticsEngine& e) { e.bootstrap(); });
    std::string old = identity(dir);
    h.run([](StatisticsEngine& e) { e.deleteCollectedData(); });
    EXPECT_TRUE(h.queued().empty());
    EXPECT_NE(identity(dir), old);
    EXPECT_EQ(h.state().pendingDeletions, std::vector<std::string>{old});
    EXPECT_TRUE(h.get<bool>([](StatisticsEngine& e) { return e.flushRequested(); }));
    EXPECT_EQ(KitState::decode(readAll(dir / "state.json"))->pendingDeletions,
              std::vector<std::string>{old});
}

// A deletion asked for before bootstrap used to be forgotten.
TEST(StatisticsEngine, DeletionBeforeBootstrapIsCarriedOutAtBootstrap) {
    TempDir dir;
    std::string old;
    {
        EngineHarness h(dir.path());
        h.run([](StatisticsEngine& e) {
            e.bootstrap();
            e.record("old data", {}, kStart);
        });
        old = identity(dir);
    }
    EngineHarness h(dir.path());
    h.run([](StatisticsEngine& e) {
        e.deleteCollectedData();
        e.bootstrap();
    });
    EXPECT_EQ(h.state().pendingDeletions, std::vector<std::string>{old});
    EXPECT_NE(identity(dir), old);
    for (const auto& e : h.queued()) {
        EXPECT_NE(e["name"], "old data") << "the old queue is gone";
        EXPECT_EQ(e["installation_id"], identity(dir));
    }
}

TEST(StatisticsEngine, DayTimerRunsShortlyAfterLocalMidnightAndAtLeastEveryTenMinutes) {
    TempDir dir;
    HarnessOptions o;
    o.timers = true;
    o.zone = TimeZone::fixed(3 * 3600);
    EngineHarness h(dir.path(), o);
    // 2024-05-01 23:59:55 at UTC+3.
    Date beforeMidnight = 1714597195;
    struct Case {
        Date now;
        double delay;
    } cases[] = {{beforeMidnight, 6}, {beforeMidnight - 12 * 3600, 600}, {beforeMidnight + 5, 600}};
    for (const Case& c : cases) {
        h.clock->now = c.now;
        h.run([](StatisticsEngine& e) { e.wake(); });
        EXPECT_EQ(h.get<std::optional<Date>>([](StatisticsEngine& e) { return e.dayTimerDue(); }),
                  c.now + c.delay);
    }
}

TEST(StatisticsEngine, EndpointRules) {
    std::map<std::string, std::string> none;
    QUrl remote("https://stats.example.com/api/");
    QUrl local("http://127.0.0.1:9000/");
    std::map<std::string, std::string> goodOverride{
        {"QUORVEL_STATISTICS_ENDPOINT", "http://localhost:1234/x"}};
    std::map<std::string, std::string> badOverride{
        {"QUORVEL_STATISTICS_ENDPOINT", "https://evil.example.com/"}};
    std::map<std::string, std::string> v6Override{
        {"QUORVEL_STATISTICS_ENDPOINT", "http://[::1]:80/"}};
    EXPECT_EQ(StatisticsEngine::resolveEndpoint(remote, Channel::direct, goodOverride), remote);
    EXPECT_EQ(StatisticsEngine::resolveEndpoint(remote, Channel::appStore, none), remote);
    EXPECT_EQ(StatisticsEngine::resolveEndpoint(remote, Channel::test, goodOverride),
              QUrl("http://localhost:1234/x"));
    EXPECT_EQ(StatisticsEngine::resolveEndpoint(remote, Channel::debug, v6Override),
              QUrl("http://[::1]:80/"));
    EXPECT_EQ(StatisticsEngine::resolveEndpoint(remote, Channel::test, badOverride), std::nullopt);
    EXPECT_EQ(StatisticsEngine::resolveEndpoint(local, Channel::test, badOverride), local);
    EXPECT_EQ(StatisticsEngine::resolveEndpoint(remote, Channel::debug, none), std::nullopt);
}

TEST(StatisticsEngine, StorageUnderTheTestRoot) {
    TempDir dir;
    auto counters = std::make_shared<FeatureCounters>(TimeZone::fixed(0));
    StatisticsConfiguration config;
    config.appID = "com.example.app";
    EngineDependencies deps;
    deps.environment = test::testEnvironment();
    deps.processEnvironment = {{"QUORVEL_TEST_ROOT", dir.path().string()}};
    deps.timers = false;
    tevro::test::ensureQtApp();
    SerialQueue queue("test.root");
    queue.sync([&] {
        auto engine = StatisticsEngine::create(config, deps, counters, true);
        engine->bootstrap();
        EXPECT_EQ(engine->storage(), dir / "quorvel-kit/com.example.app");
        EXPECT_EQ(engine->endpoint(), std::nullopt) << "no loopback service configured";
    });
    EXPECT_TRUE(std::filesystem::exists(dir / "quorvel-kit/com.example.app/state.json"));
    EXPECT_TRUE(std::filesystem::exists(dir / "quorvel-kit/com.example.app/installation-id"));
}

} // namespace
} // namespace quorvel
