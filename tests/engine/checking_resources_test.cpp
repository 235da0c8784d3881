#include "tevro/engine/checking_load_sampler.h"
#include "tevro/engine/checking_progress_estimator.h"
#include "tevro/engine/checking_resource_controller.h"
#include "tevro/engine/checking_resources.h"
#include "tevro/engine/system_probe.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

using namespace tevro;

namespace {
constexpr std::uint64_t GiB = 1ull << 30;
}

TEST(CheckingResources, TargetRule) {
    struct Case {
        std::int64_t processors;
        std::uint64_t memory;
        CheckingResources::Conditions conditions;
        std::int64_t threads, blocks;
    };
    using C = CheckingResources::Conditions;
    auto busy = [](double b) {
        C c;
        c.otherBusyCores = b;
        return c;
    };
    auto playing = [] {
        C c;
        c.playbackActive = true;
        return c;
    };
    auto memory = [](int level) {
        C c;
        c.memoryPressure = level;
        return c;
    };
    auto thermal = [](int state) {
        C c;
        c.thermalState = state;
        return c;
    };
    auto lagging = [] {
        C c;
        c.interfaceLagging = true;
        return c;
    };
    const Case cases[] = {
        {10, 16 * GiB, C{}, 16, 8192},
        {10, 16 * GiB, playing(), 2, 2048},
        {2, 16 * GiB, C{}, 1, 1024},
        {2, 16 * GiB, busy(5), 1, 1024},
        {8, 8 * GiB, busy(3), 6, 4096},
        {64, 128 * GiB, C{}, 64, 32768},
        {10, 16 * GiB, memory(2), 1, 1024},
        {10, 16 * GiB, memory(1), 4, 4096},
        {10, 16 * GiB, thermal(3), 1, 1024},
        {12, 16 * GiB, thermal(2), 4, 4096},
        {10, 16 * GiB, thermal(1), 12, 8192},
        {10, 16 * GiB, lagging(), 5, 5120},
        {10, 16 * GiB, busy(std::nan("")), 16, 8192},
        {10, 16 * GiB, busy(1e9), 2, 2048},
        {1, 0, C{}, 1, 1024},
        {4000, 4ull << 40, C{}, 64, 32768},
    };
    for (const auto& c : cases) {
        auto r = CheckingResources::target({c.processors, c.memory}, c.conditions);
        EXPECT_EQ(r.threads, c.threads) << c.processors << " cpus";
        EXPECT_EQ(r.blocks, c.blocks) << c.processors << " cpus";
    }
    EXPECT_EQ((CheckingResources{16, 8192}.settings()),
              "hashing_threads=16\nchecking_mem_usage=8192");
}

TEST(CheckingResourceController, DropsAtOnceRisesAfterFiveSeconds) {
    CheckingResourceController c;
    c.current = {16, 8192};
    // Memory pressure: down at once.
    EXPECT_EQ(c.update({1, 1024}, 100), (CheckingResources{1, 1024}));
    // Back to normal: waits 5 s of steady room.
    EXPECT_EQ(c.update({16, 8192}, 101), (CheckingResources{1, 1024}));
    EXPECT_EQ(c.update({8, 4096}, 104), (CheckingResources{1, 1024}));
    EXPECT_EQ(c.update({16, 8192}, 106), (CheckingResources{16, 8192}));
    EXPECT_FALSE(c.increaseSince);
    // Mixed: the lower blocks apply, the threads do not rise.
    EXPECT_EQ(c.update({20, 4096}, 107), (CheckingResources{16, 4096}));
    // An equal target clears a pending rise.
    c.update({20, 8192}, 108);
    EXPECT_TRUE(c.increaseSince);
    c.update({16, 4096}, 109);
    EXPECT_FALSE(c.increaseSince);
}

TEST(CheckingProgressEstimator, RateWindowStallAndRestart) {
    CheckingProgressEstimator e;
    const std::int64_t total = 1'000'000;
    EXPECT_FALSE(e.update("a", 0.0, total, true, 10.0)); // new track
    EXPECT_EQ(e.update("a", 0.1, total, true, 11.0), 100'000);
    EXPECT_EQ(e.update("a", 0.1, total, true, 11.1), 100'000); // too close: kept
    EXPECT_EQ(e.update("a", 0.3, total, true, 12.0), 150'000);
    // Flat for 2 s: stalled, reported as 0 rather than nothing.
    e.update("a", 0.3, total, true, 13.0);
    EXPECT_EQ(e.update("a", 0.3, total, true, 14.0), 0);
    // Backwards: restart, no estimate for that poll.
    EXPECT_FALSE(e.update("a", 0.2, total, true, 14.5));
    // Paused: the track goes away.
    EXPECT_FALSE(e.update("a", 0.25, total, false, 15.0));
    EXPECT_FALSE(e.tracks.contains("a"));
    e.update("b", 0.1, total, true, 20.0);
    e.update("c", 0.1, total, true, 20.0);
    e.retain({"c"});
    EXPECT_EQ(e.tracks.size(), 1u);
}

TEST(CheckingLoadSampler, OthersExcludeOwnUse) {
    CheckingLoadSampler s;
    using T = SystemProbe::Ticks;
    EXPECT_EQ(s.sample(T{100, 100, 800, 0}, 0.0, 4, 1.0), 0.0); // first sample
    // Half of 4 processors busy over 1 s, of which this process used 0.5 s.
    double r = s.sample(T{200, 200, 1000, 0}, 0.5, 4, 2.0);
    EXPECT_DOUBLE_EQ(s.smoothed, 0.3 * 1.5);
    EXPECT_EQ(r, 0.0); // floor(0.45 - 0.5) clamped at 0
    for (int i = 0; i < 30; ++i)
        r = s.sample(T{200u + 300u * (i + 1), 200u + 300u * (i + 1), 1000u + 200u * (i + 1), 0},
                     0.5, 4, 3.0 + i);
    EXPECT_EQ(r, 2.0); // 3 processors of 4 busy elsewhere, smoothed then floored
    // A failed reading leaves the estimate alone.
    double before = s.smoothed;
    EXPECT_EQ(s.sample(std::nullopt, 1.0, 4, 100.0), before);
}

// Zones as the kernel lists them under /sys/class/thermal.
TEST(ThermalState, WorstZoneAgainstItsTripPoints) {
    test::TempDir dir;
    auto zone = [&](const std::string& name, const std::string& temp,
                    const std::vector<std::pair<std::string, std::string>>& trips,
                    const std::string& mode = "enabled") {
        const auto folder = dir / name;
        std::filesystem::create_directories(folder);
        test::writeAll(folder / "temp", temp + "\n");
        test::writeAll(folder / "mode", mode + "\n");
        for (std::size_t i = 0; i < trips.size(); ++i) {
            const std::string stem = "trip_point_" + std::to_string(i) + "_";
            test::writeAll(folder / (stem + "type"), trips[i].first + "\n");
            test::writeAll(folder / (stem + "temp"), trips[i].second + "\n");
        }
    };
    EXPECT_EQ(thermalStateOf(dir / "missing"), 0);
    EXPECT_EQ(thermalStateOf(dir.path()), 0);

    const std::vector<std::pair<std::string, std::string>> trips = {
        {"active", "50000"}, {"passive", "80000"}, {"hot", "95000"}, {"critical", "105000"}};
    zone("thermal_zone0", "45000", trips);
    EXPECT_EQ(thermalStateOf(dir.path()), 0); // an active trip (a fan) is no strain
    zone("thermal_zone1", "81000", trips);
    EXPECT_EQ(thermalStateOf(dir.path()), 1);
    zone("thermal_zone2", "99000", trips, "disabled");
    EXPECT_EQ(thermalStateOf(dir.path()), 1);
    zone("thermal_zone3", "garbage", trips);
    zone("thermal_zone4", "99000", {{"hot", "95000"}, {"critical", "0"}});
    EXPECT_EQ(thermalStateOf(dir.path()), 2);
    zone("cooling_device0", "200000", trips);
    EXPECT_EQ(thermalStateOf(dir.path()), 2);
    zone("thermal_zone5", "106000", trips);
    EXPECT_EQ(thermalStateOf(dir.path()), 3);
}

// The probe keeps its files open: each reading is the kernel's figure of
// that moment, not the first one again.
TEST(LinuxSystemProbe, ReadingsAreFreshEachTime) {
    LinuxSystemProbe probe;
    auto total = [&] {
        auto t = probe.cpuTicks();
        EXPECT_TRUE(t);
        return t ? t->user + t->nice + t->system + t->idle : 0;
    };
    std::uint64_t first = total();
    double until = probe.now() + 0.1;
    while (probe.now() < until) {
    }
    EXPECT_GT(total(), first);
    EXPECT_GT(total(), first);
    if (std::ifstream in("/proc/pressure/memory"); in) {
        std::string text((std::istreambuf_iterator<char>(in)), {});
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(probe.memoryPressure(), memoryPressureLevel(text.c_str()));
    }
    EXPECT_FALSE(probe.lowPower() &&
                 !std::filesystem::exists("/sys/firmware/acpi/platform_profile"));
}
