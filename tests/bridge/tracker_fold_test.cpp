#include "tevro/bridge/tracker_fold.h"

#include <gtest/gtest.h>

namespace tevro::bridge {
namespace {

lt::announce_endpoint endpoint() {
    return lt::announce_endpoint();
}

TEST(TrackerFold, AnEntryWithoutEndpointsIsIdle) {
    TrackerFold f = TrackerFold::of(lt::announce_entry("udp://t/a"), lt::clock_type::now());
    EXPECT_EQ(f.status, "idle");
    EXPECT_EQ(f.fails, 0);
    EXPECT_EQ(f.seeds, -1);
    EXPECT_EQ(f.peers, -1);
    EXPECT_EQ(f.downloaded, -1);
    EXPECT_EQ(f.nextAnnounce, -1);
    EXPECT_EQ(f.message, "");
}

TEST(TrackerFold, OneWorkingEndpointOutweighsAFailingOne) {
    auto now = lt::clock_type::now();
    lt::announce_entry e("udp://t/a");
    auto failing = endpoint();
    failing.info_hashes[lt::protocol_version::V1].fails = 2;
    failing.info_hashes[lt::protocol_version::V1].message = "try later";
    failing.info_hashes[lt::protocol_version::V1].last_error =
        lt::errors::make_error_code(lt::errors::timed_out);
    auto working = endpoint();
    auto& ok = working.info_hashes[lt::protocol_version::V2];
    ok.start_sent = true;
    ok.scrape_complete = 5;
    ok.scrape_incomplete = 3;
    ok.next_announce = std::chrono::time_point_cast<lt::seconds32>(now + std::chrono::seconds(90));
    e.endpoints = {failing, working};
    TrackerFold f = TrackerFold::of(e, now);
    EXPECT_EQ(f.status, "working");
    EXPECT_EQ(f.fails, 2);
    EXPECT_EQ(f.seeds, 5);
    EXPECT_EQ(f.peers, 3);
    EXPECT_NE(f.message, "try later"); // the error text comes first
    EXPECT_FALSE(f.message.empty());
    EXPECT_GE(f.nextAnnounce, 88);
    EXPECT_LE(f.nextAnnounce, 90);
}

TEST(TrackerFold, StatusOrder) {
    auto now = lt::clock_type::now();
    struct {
        bool updating, startSent;
        int fails;
        const char* status;
    } cases[] = {{true, true, 0, "updating"},
                 {false, true, 0, "working"},
                 {false, false, 3, "error"},
                 {false, true, 1, "error"},
                 {false, false, 0, "idle"}};
    for (const auto& c : cases) {
        lt::announce_entry e("udp://t/a");
        auto ep = endpoint();
        auto& ih = ep.info_hashes[lt::protocol_version::V1];
        ih.updating = c.updating;
        ih.start_sent = c.startSent;
        ih.fails = static_cast<std::uint8_t>(c.fails);
        e.endpoints = {ep};
        EXPECT_EQ(TrackerFold::of(e, now).status, c.status) << c.status;
    }
}

} // namespace
} // namespace tevro::bridge
