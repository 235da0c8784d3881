#include "tevro/bridge/status_rows.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tevro::bridge {
namespace {

StatusRows::Values values(std::int64_t down, std::int64_t up) {
    StatusRows::Values v;
    v.name = "T";
    v.state = "seeding";
    v.downloadRate = down;
    v.uploadRate = up;
    return v;
}

// A row is kept while the session's own values for it stay; the rates are
// the sums of the rows still there.
TEST(StatusRows, KeptRowsAndTheirRates) {
    StatusRows rows;
    StatusRows::Source plain;
    StatusRows::Source limited = plain;
    limited.downloadLimit = 1024;
    StatusRows::Source missing = plain;
    missing.missingText = "gone";

    std::string a(rows.row("a", values(100, 10), plain));
    rows.row("b", values(200, 20), limited);
    EXPECT_EQ(rows.downloadRate(), 300);
    EXPECT_EQ(rows.uploadRate(), 30);

    ASSERT_NE(rows.kept("a", plain), nullptr);
    EXPECT_EQ(*rows.kept("a", plain), a);
    EXPECT_EQ(rows.kept("a", missing), nullptr); // a value of the session changed
    EXPECT_EQ(rows.kept("b", plain), nullptr);
    EXPECT_EQ(rows.kept("c", plain), nullptr); // never written

    // A new row of "a" replaces its rates; "b" goes with its own.
    rows.row("a", values(50, 5), plain);
    EXPECT_TRUE(rows.erase("b"));
    EXPECT_FALSE(rows.erase("b"));
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.downloadRate(), 50);
    EXPECT_EQ(rows.uploadRate(), 5);
    EXPECT_EQ(rows.kept("b", limited), nullptr);

    // Rows whose torrents are gone are found and dropped together.
    rows.row("c", values(7, 0), plain);
    auto gone = rows.eraseUnless([](const std::string& id) { return id == "a"; });
    EXPECT_EQ(gone, std::vector<std::string>{"c"});
    EXPECT_EQ(rows.downloadRate(), 50);
}

// A row says whether its text is new; a torrent's slot finds its row without
// a lookup until a row is erased, and after that it is looked up again, never
// followed to a row that is gone.
TEST(StatusRows, SlotsFollowTheirRowsAcrossErasures) {
    StatusRows rows;
    StatusRows::Source plain;
    StatusRows::Slot a, b, c;
    bool changed = false;
    std::string first(rows.row(a, "a", values(1, 0), plain, &changed));
    EXPECT_TRUE(changed);
    rows.row(a, "a", values(1, 0), plain, &changed);
    EXPECT_FALSE(changed);
    rows.row(b, "b", values(2, 0), plain);
    ASSERT_NE(rows.kept(a, "a", plain), nullptr);
    EXPECT_EQ(*rows.kept(a, "a", plain), first);
    rows.row(b, "b", values(3, 0), plain, &changed);
    EXPECT_TRUE(changed);

    // "b" goes; its old slot is stale and a new row of that id is a new one.
    rows.erase("b");
    ASSERT_NE(rows.kept(a, "a", plain), nullptr);
    EXPECT_EQ(rows.kept(b, "b", plain), nullptr);
    EXPECT_EQ(rows.kept(c, "b", plain), nullptr);
    rows.row(b, "b", values(4, 0), plain, &changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(rows.downloadRate(), 5);
    ASSERT_NE(rows.kept(b, "b", plain), nullptr);
    EXPECT_EQ(*rows.kept(c, "b", plain), *rows.kept(b, "b", plain));
}

// A running torrent's times alone move its row once a minute; with
// any other change they are written as they are.
TEST(StatusRows, TimesAloneMoveARowInSteps) {
    StatusRows rows;
    auto at = [](std::int64_t active, std::int64_t seeding, std::int64_t peers = 0) {
        StatusRows::Values v = values(0, 0);
        v.activeTime = active;
        v.seedingTime = seeding;
        v.peers = peers;
        return v;
    };
    auto shown = [&](const StatusRows::Values& v) { return std::string(rows.row("a", v)); };
    std::string first = shown(at(100, 50));
    EXPECT_EQ(shown(at(130, 80)), first);
    EXPECT_EQ(shown(at(159, 109)), first);
    EXPECT_NE(shown(at(160, 110)), first); // a minute on
    std::string step = shown(at(160, 110));
    EXPECT_NE(shown(at(161, 111, 1)), step);                       // a peer came: all of it is new
    EXPECT_NE(rows.row("a", at(0, 0, 1)), std::string_view(step)); // times set back
}

} // namespace
} // namespace tevro::bridge
