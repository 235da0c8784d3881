#include "quorvel-kit/statistics/quorvel_statistics.h"

#include <condition_variable>
#include <set>
#include <thread>

#include <QSettings>

#include <gtest/gtest.h>

#include "quorvel-kit/statistics/kit_state.h"
#include "quorvel-kit/statistics/url_session_transport.h"
#include "tests/kit_statistics/engine_harness.h"
#include "tests/kit_statistics/statistics_service.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using test::StatisticsService;
using tevro::test::readAll;
using tevro::test::TempDir;
using tevro::test::waitUntil;

std::shared_ptr<QSettings> settingsIn(const TempDir& dir) {
    return std::make_shared<QSettings>(QString::fromStdString((dir / "defaults.ini").string()),
                                       QSettings::IniFormat);
}

StatisticsConfiguration configuration(const StatisticsService& service) {
    StatisticsConfiguration c;
    c.appID = "com.example.app";
    c.endpoint = QUrl(QString::fromStdString(service.url()));
    c.localization = [] { return std::string("en"); };
    c.launchAtLogin = [] { return false; };
    return c;
}

EngineDependencies dependencies(const TempDir& dir) {
    EngineDependencies d;
    d.environment = test::testEnvironment();
    d.storageDirectory = dir / "storage";
    d.transport = std::make_shared<URLSessionTransport>(std::chrono::seconds(5));
    d.firstUploadDelay = 0;
    return d;
}

// Events tracked from several threads at once, named "<prefix>-<thread>-<n>".
std::set<std::string> trackFromThreads(QuorvelStatistics& stats, const std::string& prefix,
                                       int threads, int each) {
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < each; ++i) {
                stats.track(prefix + "-" + std::to_string(t) + "-" + std::to_string(i), {{"i", i}});
                stats.count("feature" + std::to_string(i % 3));
            }
        });
    for (auto& w : workers)
        w.join();
    std::set<std::string> names;
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < each; ++i)
            names.insert(prefix + "-" + std::to_string(t) + "-" + std::to_string(i));
    return names;
}

class AcceptedEvents {
public:
    explicit AcceptedEvents(const StatisticsService& service) : m_service(service) {}
    std::multiset<std::string> names() const {
        std::multiset<std::string> out;
        for (const auto& r : m_service.requests("/v1/events")) {
            EXPECT_EQ(r.headers.at("content-encoding"), "gzip");
            if (r.status != 200 && r.status != 202)
                continue;
            nlohmann::json body = r.json();
            for (const auto& e : body["events"])
                out.insert(e["name"].get<std::string>());
        }
        return out;
    }
    bool hasAll(const std::set<std::string>& wanted) const {
        auto got = names();
        for (const auto& n : wanted)
            if (!got.contains(n))
                return false;
        return true;
    }

private:
    const StatisticsService& m_service;
};

TEST(QuorvelStatistics, EventsFromManyThreadsArriveOnceAcrossRestarts) {
    tevro::test::ensureQtApp();
    StatisticsService service;
    AcceptedEvents accepted(service);
    TempDir dir;
    std::set<std::string> all;
    std::string firstIdentity;
    {
        QuorvelStatistics stats(settingsIn(dir));
        stats.start(configuration(service), dependencies(dir));
        auto first = trackFromThreads(stats, "a", 8, 40);
        // Fewer than 50 left after a batch wait for the regular cadence: flush again.
        ASSERT_TRUE(waitUntil([&] {
            stats.flush();
            return accepted.hasAll(first);
        }));
        all.insert(first.begin(), first.end());

        // The service refuses for a while; what is queued then waits on disk.
        // Leaving only once the refusal is taken in keeps a request from being
        // cut off in flight, which the service would have taken but the kit
        // could not know.
        service.setFallback({503, {{"Retry-After", "2"}}});
        auto second = trackFromThreads(stats, "b", 8, 40);
        stats.flush();
        ASSERT_TRUE(waitUntil([&] {
            auto state = KitState::decode(readAll(dir / "storage/state.json"));
            return state && state->retryAt;
        }));
        EXPECT_TRUE(stats.persistBeforeExit());
        all.insert(second.begin(), second.end());
        firstIdentity = readAll(dir / "storage/installation-id");
    }
    auto saved = KitState::decode(readAll(dir / "storage/state.json"));
    ASSERT_TRUE(saved && saved->features);
    int64_t counted = 0;
    for (const auto& [name, n] : saved->features->counts)
        counted += n;
    EXPECT_EQ(counted, 8 * 40 * 2) << "every count from every thread is in the saved day";

    service.setFallback({202});
    {
        QuorvelStatistics stats(settingsIn(dir));
        stats.start(configuration(service), dependencies(dir));
        auto third = trackFromThreads(stats, "c", 4, 30);
        all.insert(third.begin(), third.end());
        ASSERT_TRUE(waitUntil(
            [&] {
                stats.flush();
                return accepted.hasAll(all);
            },
            std::chrono::seconds(20)));
        EXPECT_EQ(readAll(dir / "storage/installation-id"), firstIdentity) << "stable across runs";

        stats.deleteCollectedData();
        // Done once the engine has taken the answer in, not when the service sent it.
        ASSERT_TRUE(waitUntil([&] {
            auto state = KitState::decode(readAll(dir / "storage/state.json"));
            return service.requests("/v1/data/delete").size() == 1 && state &&
                   state->pendingDeletions.empty();
        }));
    }
    std::string newIdentity = readAll(dir / "storage/installation-id");
    EXPECT_NE(newIdentity, firstIdentity);
    EXPECT_EQ(service.requests("/v1/data/delete")[0].json()["installation_id"], firstIdentity);
    {
        QuorvelStatistics stats(settingsIn(dir));
        stats.start(configuration(service), dependencies(dir));
        stats.track("after", {});
        stats.flush();
        ASSERT_TRUE(waitUntil([&] { return accepted.hasAll({"after"}); }));
        EXPECT_EQ(readAll(dir / "storage/installation-id"), newIdentity);
    }
    EXPECT_EQ(service.requests("/v1/data/delete").size(), 1u) << "the deletion reached it once";

    std::multiset<std::string> names = accepted.names();
    for (const std::string& n : all)
        EXPECT_EQ(names.count(n), 1u) << n;
    std::set<std::string> ids(service.acceptedEvents().begin(), service.acceptedEvents().end());
    EXPECT_EQ(ids.size(), service.acceptedEvents().size()) << "no event accepted twice";
    EXPECT_EQ(service.mostOpen(), 1) << "uploads never overlap";
}

TEST(QuorvelStatistics, TheSwitchAndCallsBeforeStart) {
    tevro::test::ensureQtApp();
    TempDir dir;
    auto settings = settingsIn(dir);
    QuorvelStatistics stats(settings);
    EXPECT_TRUE(stats.isEnabled());
    settings->setValue(QuorvelStatistics::kEnabledKey, "no");
    EXPECT_TRUE(stats.isEnabled()) << "a text that is not a stored flag reads as on";

    stats.track("ignored", {});
    stats.updatePermissions({{"camera", PermissionState::granted}});
    stats.deleteCollectedData();
    stats.flush();
    EXPECT_TRUE(stats.persistBeforeExit());
    stats.count("early");
    ASSERT_TRUE(stats.counters()->current());
    EXPECT_EQ(stats.counters()->current()->counts.at("early"), 1);

    stats.setEnabled(false);
    EXPECT_FALSE(QuorvelStatistics(settingsIn(dir)).isEnabled()) << "kept in the settings";
    StatisticsService service;
    stats.start(configuration(service), dependencies(dir));
    EXPECT_FALSE(stats.counters()->enabled());
    stats.count("off");
    EXPECT_FALSE(stats.counters()->current());
    stats.track("off", {});
    EXPECT_TRUE(stats.persistBeforeExit());
    EXPECT_TRUE(std::filesystem::exists(dir / "storage/state.json"));
    EXPECT_FALSE(std::filesystem::exists(dir / "storage/queue.jsonl"));
}

// Names and an app id that are not UTF-8 come from the host as they are:
// saving and uploading go on, with the bad bytes replaced.
TEST(QuorvelStatistics, NothingTheCallersPassEndsTheProcess) {
    tevro::test::ensureQtApp();
    StatisticsService service;
    TempDir dir;
    StatisticsConfiguration config = configuration(service);
    config.appID = "com.example.\xff";
    QuorvelStatistics stats(settingsIn(dir));
    stats.start(config, dependencies(dir));
    stats.count("caf\xe9");
    stats.updatePermissions({{"camera\xc3\x28", PermissionState::granted}});
    stats.track("\xfe", {{"k", StatValue(std::string("\xfd"))}});
    EXPECT_TRUE(stats.persistBeforeExit());
    stats.deleteCollectedData();
    ASSERT_TRUE(waitUntil([&] { return !service.requests("/v1/data/delete").empty(); }));
    EXPECT_TRUE(service.requests("/v1/data/delete").front().json().is_object());
    const auto state = nlohmann::json::parse(readAll(dir / "storage/state.json"), nullptr, false);
    ASSERT_TRUE(state.is_object());
    EXPECT_EQ(state["permissions"].size(), 1u);
}

TEST(QuorvelStatistics, ExitDoesNotWaitForABusyEngine) {
    tevro::test::ensureQtApp();
    StatisticsService service;
    TempDir dir;
    struct Gate {
        std::mutex lock;
        std::condition_variable cv;
        bool closed = false;
    };
    auto gate = std::make_shared<Gate>();
    EngineDependencies deps = dependencies(dir);
    deps.now = [gate] {
        std::unique_lock lock(gate->lock);
        gate->cv.wait(lock, [&] { return !gate->closed; });
        return systemNow();
    };
    QuorvelStatistics stats(settingsIn(dir));
    stats.start(configuration(service), deps);
    EXPECT_TRUE(stats.persistBeforeExit());
    {
        std::lock_guard lock(gate->lock);
        gate->closed = true;
    }
    stats.count("late");
    EXPECT_FALSE(stats.persistBeforeExit()) << "the engine is stuck: exit goes on without it";
    {
        std::lock_guard lock(gate->lock);
        gate->closed = false;
    }
    gate->cv.notify_all();
    EXPECT_TRUE(stats.persistBeforeExit());
    auto saved = KitState::decode(readAll(dir / "storage/state.json"));
    ASSERT_TRUE(saved && saved->features);
    EXPECT_EQ(saved->features->counts.at("late"), 1);
}

} // namespace
} // namespace quorvel
