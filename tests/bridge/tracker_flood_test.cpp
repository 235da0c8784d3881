// A torrent file naming 10,000 trackers: cut to its first 80 when added and
// when restored from a resume file of an older run.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>
#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/torrent_info.hpp>
#include <libtorrent/write_resume_data.hpp>
#include <nlohmann/json.hpp>

#include "tests/bridge/bridge_fixture.h"
#include "tests/support/hostile_torrents.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> trackerFlood(int count) {
    std::vector<std::string> urls;
    for (int i = 0; i < count; ++i)
        urls.push_back("udp://127.0.0.1:9/" + std::to_string(i));
    return urls;
}

// The torrent's own trackers (no extra or mirror ones) as the session lists them.
std::vector<std::pair<std::string, int>> ownTrackers(BridgeSession& session,
                                                     const std::string& id) {
    BridgeString text(tb_trackers_json(session.get(), id.c_str()));
    std::vector<std::pair<std::string, int>> out;
    for (const auto& t : nlohmann::json::parse(text.view()))
        if (!t["extra"].get<bool>() && !t["mirror"].get<bool>())
            out.emplace_back(t["url"].get<std::string>(), t["tier"].get<int>());
    return out;
}

// The flood comes in tiers of 40, each tier's order shuffled by the library:
// the first 80 are tiers 0 and 1 whole, in tier order.
void expectFirstEighty(const std::vector<std::pair<std::string, int>>& trackers) {
    ASSERT_EQ(trackers.size(), 80u);
    std::set<std::string> urls;
    for (int i = 0; i < 80; ++i) {
        EXPECT_EQ(trackers[i].second, i / 40) << i;
        urls.insert(trackers[i].first);
    }
    std::set<std::string> first;
    for (int i = 0; i < 80; ++i)
        first.insert("udp://127.0.0.1:9/" + std::to_string(i));
    EXPECT_EQ(urls, first);
}

double secondsToAdd(BridgeSession& session, const fs::path& torrent, const fs::path& save) {
    auto start = std::chrono::steady_clock::now();
    auto added = session.addTorrent(torrent, addOptions(save, "paused=1"));
    EXPECT_FALSE(added.id.empty()) << added.error;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(TrackerFlood, IsCutToTheFirstEightyOnAddAndOnRestore) {
    TempDir dir;
    fs::path flood = writeTorrent(
        dir, "flood.torrent",
        hostileTorrent(hostileInfo({{{"a.mkv"}, 100}}, "flood"), trackerFlood(10000), 40));
    fs::path later = writeTorrent(
        dir, "later.torrent", hostileTorrent(hostileInfo({{{"a.mkv"}, 100}, {{"b.mkv"}, 200}})));
    double without = 0;
    {
        BridgeSession session(dir / "clean");
        without = secondsToAdd(session, later, dir / "save");
    }
    std::string id;
    double with = 0;
    double floodAdd = 0;
    {
        BridgeSession session(dir / "state");
        // Running: it announces (to 127.0.0.1 only) while the next add is made.
        auto start = std::chrono::steady_clock::now();
        auto added = session.addTorrent(flood, addOptions(dir / "save"));
        floodAdd = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_FALSE(added.id.empty()) << added.error;
        id = added.id;
        expectFirstEighty(ownTrackers(session, id));
        with = secondsToAdd(session, later, dir / "save");
    }
    std::printf("{\"trackers\":10000,\"flood_add_s\":%.4f,\"later_add_with_s\":%.4f,"
                "\"later_add_without_s\":%.4f}\n",
                floodAdd, with, without);

    // A resume file of an older run with the whole flood comes back cut too.
    lt::add_torrent_params params;
    params.ti = std::make_shared<lt::torrent_info>(flood.string());
    params.info_hashes = params.ti->info_hashes();
    params.save_path = (dir / "save").string();
    params.flags = lt::torrent_flags::paused;
    for (const lt::announce_entry& e : params.ti->trackers()) {
        params.trackers.push_back(e.url);
        params.tracker_tiers.push_back(e.tier);
    }
    std::vector<char> resume = lt::write_resume_data_buf(params);
    writeAll(dir / "state" / "resume" / (id + ".resume"),
             std::string(resume.begin(), resume.end()));
    BridgeSession restored(dir / "state");
    expectFirstEighty(ownTrackers(restored, id));
}

} // namespace
} // namespace tevro::test
