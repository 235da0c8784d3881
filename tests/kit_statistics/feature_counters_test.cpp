#include "quorvel-kit/statistics/feature_counters.h"
#include "quorvel-kit/statistics/kit_state.h"
#include "quorvel-kit/statistics/permission_state.h"
#include "quorvel-kit/statistics/stat_value.h"

#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

namespace quorvel {
namespace {

// 2024-03-10 20:30:00 UTC.
constexpr Date kEvening = 1710102600;

TEST(FeatureCounters, LocalDayFollowsTheTimeZone) {
    TimeZone moscow = TimeZone::fixed(3 * 3600);
    EXPECT_EQ(moscow.dayNumber(kEvening + 2 * 3600), moscow.dayNumber(kEvening) + 1);
    EXPECT_EQ(localDateText(moscow.dayNumber(kEvening)), "2024-03-10");
    EXPECT_EQ(localDateText(moscow.dayNumber(kEvening + 2 * 3600)), "2024-03-11");
    // 2024-01-01 00:30 UTC is still 2023-12-31 five hours west.
    EXPECT_EQ(localDateText(TimeZone::fixed(-5 * 3600).dayNumber(1704069000)), "2023-12-31");
    EXPECT_EQ(localDateText(0), "1970-01-01");
    EXPECT_EQ(localDateText(1), "1970-01-02");
    EXPECT_EQ(localDateText(-1), "1969-12-31");
    EXPECT_EQ(isoTimestamp(1714555800.25), "2024-05-01T09:30:00.250Z");
}

// The system's zone changes while the program runs (travel, a new setting):
// the local day follows it.
TEST(FeatureCounters, TheCurrentZoneFollowsAChange) {
    const char* before = std::getenv("TZ");
    const std::string saved = before ? before : "";
    ::setenv("TZ", "UTC0", 1);
    const TimeZone zone = TimeZone::current();
    EXPECT_EQ(zone.offsetAt(kEvening), 0);
    EXPECT_EQ(localDateText(zone.dayNumber(kEvening)), "2024-03-10");
    ::setenv("TZ", "KIT-5", 1); // five hours east of Greenwich
    EXPECT_EQ(zone.offsetAt(kEvening), 5 * 3600);
    EXPECT_EQ(localDateText(zone.dayNumber(kEvening)), "2024-03-11");
    if (before)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
}

TEST(FeatureCounters, CountsPerDayAndFinishesDays) {
    FeatureCounters c(TimeZone::fixed(0));
    int finished = 0;
    c.setOnDayFinished([&] { ++finished; });
    c.count("export", kEvening);
    c.count("export", kEvening + 10);
    c.count("import", kEvening + 20);
    ASSERT_TRUE(c.current());
    EXPECT_EQ(c.current()->counts, (std::map<std::string, int64_t>{{"export", 2}, {"import", 1}}));
    EXPECT_EQ(c.current()->last, kEvening + 20);
    EXPECT_TRUE(c.changed());
    EXPECT_EQ(finished, 0);

    c.count("export", kEvening + 86400);
    EXPECT_EQ(finished, 1);
    c.count("export", kEvening - 86400); // the clock was set back
    EXPECT_EQ(finished, 2);

    int64_t today = TimeZone::fixed(0).dayNumber(kEvening - 86400);
    auto days = c.takeFinished(today);
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days[0].counts.at("export"), 2);
    EXPECT_EQ(days[1].day, today + 2);
    EXPECT_TRUE(c.current()) << "the current day is today: it stays";
    EXPECT_TRUE(c.takeFinished(today).empty());
    EXPECT_EQ(c.takeFinished(today + 1).size(), 1u);
    EXPECT_FALSE(c.current());
}

TEST(FeatureCounters, SwitchingOffDiscards) {
    FeatureCounters c(TimeZone::fixed(0));
    c.count("a", kEvening);
    c.setEnabled(false);
    c.count("a", kEvening);
    EXPECT_FALSE(c.current());
    c.setEnabled(true);
    c.count("b", kEvening);
    EXPECT_EQ(c.current()->counts, (std::map<std::string, int64_t>{{"b", 1}}));
}

// Counting starts before the engine has read its saved day; restoring that day
// used to replace what was counted meanwhile.
TEST(FeatureCounters, RestoringTheSavedDayKeepsCountsMadeMeanwhile) {
    TimeZone utc = TimeZone::fixed(0);
    int64_t today = utc.dayNumber(kEvening);
    FeatureCounters c(utc);
    c.count("a", kEvening);
    c.restoreCurrent(FeatureCounters::Day{today, {{"a", 2}, {"b", 1}}, kEvening - 5});
    EXPECT_EQ(c.current()->counts, (std::map<std::string, int64_t>{{"a", 3}, {"b", 1}}));
    EXPECT_EQ(c.current()->last, kEvening);

    c.restoreCurrent(FeatureCounters::Day{today - 1, {{"old", 4}}, kEvening - 86400});
    auto days = c.takeFinished(today + 1);
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days[0].counts.at("old"), 4) << "an earlier saved day is finished first";
    EXPECT_EQ(days[1].counts.at("a"), 3);

    FeatureCounters fresh(utc);
    fresh.restoreCurrent(FeatureCounters::Day{today, {{"x", 1}}, kEvening});
    EXPECT_EQ(fresh.current()->counts.at("x"), 1);
}

TEST(FeatureCounters, CountsFromManyThreadsAreAllKept) {
    FeatureCounters c(TimeZone::fixed(0));
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i)
                c.count(i % 2 ? "odd" : "even", kEvening);
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(c.current()->counts.at("odd") + c.current()->counts.at("even"), 8000);
}

TEST(KitState, EncodesOnlyPresentFieldsAndRoundTrips) {
    KitState fresh = KitState::fresh(kEvening);
    nlohmann::json j = nlohmann::json::parse(fresh.encode());
    for (const char* absent : {"lastVersion", "lastActiveDay", "features", "retryAt"})
        EXPECT_FALSE(j.contains(absent)) << absent;
    EXPECT_EQ(j["backoff"], 0);
    EXPECT_DOUBLE_EQ(j["installedAt"].get<double>(), kEvening - kReferenceDateOffset);
    EXPECT_EQ(KitState::decode(fresh.encode()), fresh);

    KitState full = fresh;
    full.seq = 12;
    full.lastVersion = "1.2";
    full.lastActiveDay = 19792;
    full.permissions = {{"camera", "granted"}};
    full.features = FeatureCounters::Day{19792, {{"a", 3}}, kEvening + 0.5};
    full.pendingDeletions = {"x", "y"};
    full.retryAt = kEvening + 60.25;
    full.backoff = 120;
    EXPECT_EQ(KitState::decode(full.encode()), full);
}

TEST(KitState, StrictDecoding) {
    const char* bad[] = {
        R"({"installedAt":1,"seq":0,"pendingDeletions":[],"backoff":0})",
        R"({"installedAt":1,"seq":"0","permissions":{},"pendingDeletions":[],"backoff":0})",
        R"({"installedAt":1,"seq":0,"permissions":{},"pendingDeletions":[],"backoff":0,"features":{"day":1,"counts":{}}})",
        R"({"installedAt":1,"seq":0,"permissions":{"a":1},"pendingDeletions":[],"backoff":0})",
        "not json",
    };
    for (const char* text : bad)
        EXPECT_FALSE(KitState::decode(text)) << text;
    auto ok = KitState::decode(
        R"({"installedAt":1,"seq":3,"permissions":{},"pendingDeletions":[],"backoff":0})");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->seq, 3);
    EXPECT_FALSE(ok->lastVersion);
}

TEST(StatValue, EqualityAndJson) {
    EXPECT_FALSE(StatValue(1) == StatValue(true));
    EXPECT_EQ(StatValue("a"), StatValue(std::string("a")));
    StatValue nested(
        StatValue::Object{{"inner", StatValue(StatValue::Object{{"n", 1}, {"b", false}})}});
    EXPECT_EQ(nested.json(), nlohmann::json::parse(R"({"inner":{"n":1,"b":false}})"));
    EXPECT_EQ(permissionStateFromRaw("not_determined"), PermissionState::notDetermined);
    EXPECT_FALSE(permissionStateFromRaw("notDetermined"));
}

} // namespace
} // namespace quorvel
