// Peers as the bridge reports them: a hostile client name cannot break the
// reports, and banned clients are blocked.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/bridge/bridge_fixture.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/swarm/wait_until.h"
#include "tests/support/temp_dir.h"
#include "tevro/core/peer_info.h"

namespace tevro::test {
namespace {

swarm::GeneratedTorrent::Options slowFile() {
    swarm::GeneratedTorrent::Options o;
    o.files = {{"big.bin", 4 << 20}};
    o.pieceSize = 64 * 1024;
    return o;
}

TEST(Peers, InvalidUtf8NeverBreaksAReport) {
    TempDir root;
    swarm::Seeder::Options so;
    so.userAgent = "Bad\xC3(\xF5name\xED\xA0\x80";
    so.uploadLimit = 256 * 1024; // keeps the peer connected while we look
    swarm::Seeder seeder(so);
    auto t = swarm::GeneratedTorrent::create(root / "seed", slowFile());
    seeder.seed(t);
    BridgeSession session(root / "state");
    int port = session.port();
    // Linux paths are bytes: a save path need not be UTF-8.
    auto savePath = root / "dl\xFF\xC3";
    auto id = session.addTorrent(t.torrentPath(), addOptions(savePath)).id;
    ASSERT_EQ(tb_add_trackers(session.get(), id.c_str(), "udp://127.0.0.1:9/\xE0\x80\xAF"), 1);

    nlohmann::json peers;
    ASSERT_TRUE(swarm::waitUntil(
        [&] {
            seeder.connect(t, port);
            BridgeString text(tb_peers_json(session.get(), id.c_str()));
            peers = nlohmann::json::parse(text.view()); // throws on invalid UTF-8
            return peers.size() == 1 && !peers[0]["client"].get<std::string>().empty() &&
                   peers[0]["flags"].get<std::string>().find('S') != std::string::npos;
        },
        10s));
    EXPECT_TRUE(peers[0]["client"].get<std::string>().starts_with("Bad"));
    EXPECT_EQ(peers[0]["ip"], "127.0.0.1");
    EXPECT_NE(peers[0]["flags"].get<std::string>().find('S'), std::string::npos);
    EXPECT_NE(peers[0]["flags"].get<std::string>().find('I'), std::string::npos);
    EXPECT_EQ(peers[0]["source"], "incoming");
    for (const char* key :
         {"rttMs", "outstandingRequests", "targetRequests", "timedOutRequests", "pendingDiskBytes",
          "remoteChoked", "waitingForDisk", "waitingForNetwork", "waitingForRateLimit"})
        EXPECT_TRUE(peers[0].contains(key)) << key;
    auto decoded = json::decodeArray<PeerInfo>(peers.dump());
    ASSERT_TRUE(decoded) << decoded.error();

    auto status = StatusSnapshot::decode(BridgeString(tb_status_json(session.get())).view());
    ASSERT_TRUE(status) << status.error();
    EXPECT_EQ(status->torrents[0].savePath, (root / "dl").string() + "\xEF\xBF\xBD\xEF\xBF\xBD");
    auto trackers =
        nlohmann::json::parse(BridgeString(tb_trackers_json(session.get(), id.c_str())).view());
    ASSERT_EQ(trackers.size(), 1u);
    EXPECT_EQ(trackers[0]["url"], "udp://127.0.0.1:9/\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Peers, BannedClientsAreBlockedUntilTheListEmpties) {
    TempDir root;
    swarm::Seeder::Options so;
    so.userAgent = "MiniBit 1.0";
    so.uploadLimit = 128 * 1024;
    swarm::Seeder seeder(so);
    auto t = swarm::GeneratedTorrent::create(root / "seed", slowFile());
    seeder.seed(t);
    BridgeSession session(root / "state");
    int port = session.port();
    auto id = session.addTorrent(t.torrentPath(), addOptions(root / "dl")).id;
    ASSERT_TRUE(session.waitFor(
        id, [](const TorrentStatus& s) { return s.seeds == 1; }, 10s,
        [&] { seeder.connect(t, port); }));

    tb_set_banned_clients(session.get(), "-QQ\nmini");
    // The ban scan runs every 15 s.
    ASSERT_TRUE(swarm::waitUntil([&] { return session.status().session.banned == 1; }, 25s, 100ms));
    EXPECT_TRUE(session.waitFor(
        id, [](const TorrentStatus& s) { return s.seeds == 0; }, 5s,
        [&] { seeder.connect(t, port); }));

    tb_set_banned_clients(session.get(), "");
    EXPECT_EQ(session.status().session.banned, 0);
    EXPECT_TRUE(session.waitFor(
        id, [](const TorrentStatus& s) { return s.seeds == 1; }, 10s,
        [&] { seeder.connect(t, port); }));
}

} // namespace
} // namespace tevro::test
