#include "tevro/engine/status_decoder.h"

#include <gtest/gtest.h>

using namespace tevro;

namespace {

std::string row(const std::string& id, const std::string& name, int peers) {
    return R"({"id":")" + id + R"(","name":")" + name +
           R"(","state":"downloading","paused":false,"autoManaged":true,"sequential":false,)"
           R"("private":false,"hasMetadata":true,"finished":false,"seeding":false,"moving":false,)"
           R"("progress":0.25,"total":4000,"totalDone":1000,"wanted":2000,"wantedDone":500,)"
           R"("downloadRate":1,"uploadRate":1,"peers":)" +
           std::to_string(peers) +
           R"(,"seeds":2,"swarmPeers":-1,"swarmSeeds":10,"connectCandidates":7,"uploaded":1,)"
           R"("downloaded":2,"added":1700000000,"completed":0,"activeTime":60,"seedingTime":0,)"
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

} // namespace

// Poll after poll the decoder gives what a whole decode gives, whichever rows
// changed, with names that look like the text's own structure, and one bad
// row still fails the whole text.
TEST(StatusDecoder, MatchesAWholeDecodeAcrossPolls) {
    StatusDecoder decoder;
    std::string tricky = R"(x\",\"torrents\":[{}] \\ {)";
    std::vector<std::vector<std::string>> polls = {
        {row("a", "One", 1), row("b", tricky, 2)},
        {row("a", "One", 1), row("b", tricky, 3)},                   // one row changed
        {row("b", tricky, 3), row("a", "One", 1), row("c", "}", 0)}, // reordered, one added
        {},                                                          // all removed
        {row("a", "One", 1)},
    };
    for (size_t i = 0; i < polls.size(); ++i) {
        std::string text = status(polls[i], i == 2 ? R"(,\"torrents\":[)" : "");
        auto whole = StatusSnapshot::decode(text);
        ASSERT_TRUE(whole) << whole.error();
        auto decoded = decoder.decode(text);
        ASSERT_TRUE(decoded) << "poll " << i;
        EXPECT_EQ(*decoded, *whole) << "poll " << i;
    }

    std::string bad = row("a", "One", 1);
    bad.replace(bad.find(R"("peers":1)"), 9, R"("peers":"1")");
    EXPECT_FALSE(decoder.decode(status({row("b", "Two", 2), bad})));
    EXPECT_FALSE(decoder.decode(status({row("a", "One", 1)}).substr(0, 200)));
    EXPECT_FALSE(decoder.decode(status({row("a", "One", 1)}) + "x"));
    // A good text after the failures decodes again.
    EXPECT_TRUE(decoder.decode(status({row("a", "One", 1)})));
}
