#include "tevro/bridge/tracker_rule.h"

#include <gtest/gtest.h>

namespace tevro::bridge {
namespace {

const std::string kSuffix(TrackerRule::kMirrorSuffix);

TEST(TrackerRule, MirrorsKeepSchemePortAndPath) {
    auto mirrors = TrackerRule::mirrorsOf("http://bt2" + kSuffix + ":8080/ann?x=1");
    std::vector<std::string> expected;
    for (const char* label : {"bt", "bt3", "bt4", "bt5"})
        expected.push_back(std::string("http://") + label + kSuffix + ":8080/ann?x=1");
    EXPECT_EQ(mirrors, expected);
    EXPECT_EQ(TrackerRule::mirrorsOf("udp://bt" + kSuffix).size(), 4u);
    // Not a mirror host: other labels, other domains, the bare suffix, no scheme.
    const std::string notMirrors[] = {"http://tracker" + kSuffix + "/a", "http://bt2.example.org/a",
                                      "http://" + kSuffix.substr(1) + "/a", "bt2" + kSuffix + "/a"};
    for (const auto& url : notMirrors)
        EXPECT_TRUE(TrackerRule::mirrorsOf(url).empty()) << url;
}

TEST(TrackerRule, AddsMirrorsAndExtrasAndTakesThemAwayAgain) {
    std::string own = "http://bt2" + kSuffix + "/announce";
    std::vector<TrackerEntry> current = {{own, 0}, {"udp://a/announce", 1}, {own, 2}};
    auto full = TrackerRule::apply(current, {"udp://extra/1", "udp://a/announce"}, true);
    ASSERT_EQ(full.size(), 2u + 4u + 1u);
    EXPECT_EQ(full[0], (TrackerEntry{own, 0}));
    EXPECT_EQ(full[1], (TrackerEntry{"udp://a/announce", 1}));
    for (int i = 2; i < 6; ++i)
        EXPECT_EQ(full[static_cast<std::size_t>(i)].tier, TrackerRule::kMirrorTier);
    EXPECT_EQ(full[6], (TrackerEntry{"udp://extra/1", TrackerRule::kExtraTier}));

    // Mirrors off and no extras: back to the torrent's own trackers.
    auto bare = TrackerRule::apply(full, {}, false);
    EXPECT_EQ(bare, (std::vector<TrackerEntry>{{own, 0}, {"udp://a/announce", 1}}));
    EXPECT_EQ(TrackerRule::apply(bare, {}, false), bare);
}

} // namespace
} // namespace tevro::bridge
