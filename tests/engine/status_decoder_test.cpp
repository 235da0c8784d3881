#include "tevro/engine/status_decoder.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "tevro/core/status_snapshot.h"

using namespace tevro;

namespace {

std::string row(const std::string& id, const std::string& name, int peers,
                std::int64_t added = 1700000000) {
    return R"({"id":")" + id + R"(","name":")" + name +
           R"(","state":"downloading","paused":false,"autoManaged":true,"sequential":false,)"
           R"("private":false,"hasMetadata":true,"finished":false,"seeding":false,"moving":false,)"
           R"("progress":0.25,"total":4000,"totalDone":1000,"wanted":2000,"wantedDone":500,)"
           R"("downloadRate":1,"uploadRate":1,"peers":)" +
           std::to_string(peers) +
           R"(,"seeds":2,"swarmPeers":-1,"swarmSeeds":10,"connectCandidates":7,"uploaded":1,)"
           R"("downloaded":2,"added":)" +
           std::to_string(added) +
           R"(,"completed":0,"activeTime":60,"seedingTime":0,)"
           R"("downloadLimit":0,"uploadLimit":-1,"connectionsLimit":120,"uploadsLimit":8,)"
           R"("queue":0,"pieces":1,"availability":1.5,"savePath":"/tmp/x","tracker":"",)"
           R"("error":""})";
}

std::string status(const std::vector<std::string>& rows, const std::string& ip = "") {
    std::string out = R"({"session":{"download":1,"upload":2,"dhtNodes":0,"incoming":false,)"
                      R"("externalIP":")" +
                      ip +
                      R"(","portmap":"","banned":0,"listening":[],"listenErrors":[]},"torrents":[)";
    for (size_t i = 0; i < rows.size(); ++i)
        out += (i ? "," : "") + rows[i];
    return out + "]}";
}

// What the published list must be: every row, newest added first, then by
// name, then by id.
std::vector<TorrentStatus> displayed(const std::string& text) {
    auto whole = StatusSnapshot::decode(text);
    EXPECT_TRUE(whole) << whole.error();
    auto rows = whole->torrents;
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        if (a.added != b.added)
            return a.added > b.added;
        return a.name != b.name ? a.name < b.name : a.id < b.id;
    });
    return rows;
}

// Applies a delta to the list as the engine does.
void apply(std::vector<TorrentStatus>& list, StatusDelta& delta) {
    if (delta.whole) {
        // Unchanged rows come from the list itself, by place.
        std::vector<TorrentStatus> next;
        for (const auto& e : delta.order) {
            if (e.fresh) {
                ASSERT_LT(e.index, delta.rows.size());
                next.push_back(delta.rows[e.index]);
            } else {
                ASSERT_EQ(delta.previousSize, list.size());
                ASSERT_LT(e.index, list.size());
                next.push_back(list[e.index]);
            }
        }
        list = std::move(next);
        return;
    }
    ASSERT_EQ(delta.rows.size(), delta.positions.size());
    for (size_t k = 0; k < delta.rows.size(); ++k) {
        ASSERT_LT(delta.positions[k], list.size());
        ASSERT_EQ(list[delta.positions[k]].id, delta.rows[k].id);
        list[delta.positions[k]] = delta.rows[k];
    }
}

} // namespace

// Poll after poll the deltas rebuild exactly the sorted whole decode, and
// each carries only what it must: the changed rows alone while the list
// stays, the whole list when torrents come, go or move in the order.
TEST(StatusDecoder, DeltasRebuildTheSortedListAcrossPolls) {
    StatusDecoder decoder;
    std::string tricky = R"(x\",\"torrents\":[{}] \\ {)";
    struct Poll {
        std::vector<std::string> rows;
        bool whole;
        size_t changed;      // rows carried: changed ones, or a whole list's new decodings
        std::string ip = ""; // a session part of another length
    };
    std::vector<Poll> polls = {
        {{row("a", "One", 1), row("b", tricky, 2), row("c", "Three", 0)}, true, 3},
        {{row("a", "One", 1), row("b", tricky, 2), row("c", "Three", 0)}, false, 0},
        // The same rows after a longer session part, then one row changed
        // after a shorter one: still that row alone.
        {{row("a", "One", 1), row("b", tricky, 2), row("c", "Three", 0)}, false, 0, "10.1.2.3"},
        {{row("a", "One", 1), row("b", tricky, 3), row("c", "Three", 0)}, false, 1},
        {{row("a", "One", 4), row("b", tricky, 3), row("c", "Three", 5)}, false, 2},
        // Renamed: the order may change.
        {{row("a", "Zed", 4), row("b", tricky, 3), row("c", "Three", 5)}, true, 1},
        // The bridge lists them differently; one added, newer than the rest.
        {{row("c", "Three", 5), row("a", "Zed", 4), row("d", "}", 0, 1800000000),
          row("b", tricky, 3)},
         true,
         1,
         R"(,\"torrents\":[)"},
        {{row("c", "Three", 5), row("b", tricky, 3)}, true, 0}, // two removed
        {{}, true, 0},
        {{row("a", "One", 1)}, true, 1},
        // Twins (same name and time) go by id, the bridge's own order,
        // whatever order a text lists them in.
        {{row("a", "One", 1), row("f", "Twin", 0), row("e", "Twin", 0)}, true, 2},
        {{row("a", "One", 1), row("e", "Twin", 0), row("f", "Twin", 0)}, false, 0},
        {{row("g", "Twin", 0), row("a", "One", 1), row("f", "Twin", 0), row("d", "Twin", 0)},
         true,
         2},
    };
    std::vector<TorrentStatus> list;
    for (size_t i = 0; i < polls.size(); ++i) {
        std::string text = status(polls[i].rows, polls[i].ip);
        auto delta = decoder.decode(text);
        ASSERT_TRUE(delta) << "poll " << i;
        EXPECT_EQ(delta->whole, polls[i].whole) << "poll " << i;
        EXPECT_EQ(delta->rows.size(), polls[i].changed) << "poll " << i;
        EXPECT_EQ(delta->session.download, 1);
        apply(list, *delta);
        EXPECT_EQ(list, displayed(text)) << "poll " << i;
    }
}

// A bad text fails whole and leaves the decoder comparing with the last good
// one; a reset makes the next decode whole.
TEST(StatusDecoder, BadTextsFailWholeAndResetGivesTheWholeList) {
    StatusDecoder decoder;
    std::string good = status({row("a", "One", 1), row("b", "Two", 2)});
    ASSERT_TRUE(decoder.decode(good));

    std::string bad = row("a", "One", 1);
    bad.replace(bad.find(R"("peers":1)"), 9, R"("peers":"1")");
    EXPECT_FALSE(decoder.decode(status({bad, row("b", "Two", 7)})));
    EXPECT_FALSE(decoder.decode(good.substr(0, 200)));
    EXPECT_FALSE(decoder.decode(good + "x"));
    EXPECT_FALSE(decoder.decode(status({row("a", "One", 1) + "]"})));

    auto next = decoder.decode(status({row("a", "One", 1), row("b", "Two", 7)}));
    ASSERT_TRUE(next);
    EXPECT_FALSE(next->whole);
    ASSERT_EQ(next->rows.size(), 1u);
    EXPECT_EQ(next->rows[0].peers, 7);

    decoder.reset();
    auto again = decoder.decode(status({row("a", "One", 1), row("b", "Two", 7)}));
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->whole);
    EXPECT_EQ(again->rows.size(), 2u);

    // Laid out otherwise (the keys the other way round): still decoded, whole.
    auto other = decoder.decode(R"({"torrents":[],"session":{"download":3,"upload":0,)"
                                R"("dhtNodes":0,"incoming":false,"externalIP":"","portmap":"",)"
                                R"("banned":0,"listening":[],"listenErrors":[]}})");
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->whole);
    EXPECT_TRUE(other->rows.empty());
    EXPECT_EQ(other->session.download, 3);
}

// An unchanged report is not sent again: the decoder answers for it with no
// rows and the session of the last text, and with nothing before any text.
TEST(StatusDecoder, TheSameReportAgainChangesNothing) {
    StatusDecoder decoder;
    EXPECT_FALSE(decoder.same());
    auto first = decoder.decode(status({row("a", "One", 1)}, "10.0.0.1"));
    ASSERT_TRUE(first);
    decoder.revision() = 7;
    auto same = decoder.same();
    ASSERT_TRUE(same);
    EXPECT_FALSE(same->whole);
    EXPECT_TRUE(same->rows.empty());
    EXPECT_EQ(same->session, first->session);
    decoder.reset();
    EXPECT_EQ(decoder.revision(), 0u);
    EXPECT_FALSE(decoder.same());
}
