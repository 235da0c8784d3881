// A torrent generated in the test travels from a seeder session to the bridge
// over 127.0.0.1, by .torrent file and by magnet link, and survives a restart.

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "tests/bridge/bridge_fixture.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

namespace fs = std::filesystem;

swarm::GeneratedTorrent::Options threeFiles() {
    swarm::GeneratedTorrent::Options o;
    o.name = "album";
    o.files = {{"a.bin", 300'000}, {"sub/b.bin", 70'000}, {"c.bin", 500'001}};
    o.pieceSize = 32 * 1024;
    return o;
}

void expectSameBytes(const swarm::GeneratedTorrent& t, const fs::path& savePath) {
    const auto& files = t.info()->files();
    for (int i = 0; i < t.numFiles(); ++i) {
        if (files.pad_file_at(lt::file_index_t(i)))
            continue;
        auto bytes = fileBytes(t.filePath(savePath, i));
        ASSERT_TRUE(bytes) << t.filePath(savePath, i);
        EXPECT_TRUE(*bytes == t.expectedBytes(i)) << "file " << i << " differs";
    }
}

class Download : public ::testing::Test {
protected:
    TempDir root;
    swarm::Seeder seeder;
};

TEST_F(Download, ByTorrentFileAndByMagnetWithTheSameBytes) {
    auto torrent = swarm::GeneratedTorrent::create(root / "seed", threeFiles());
    seeder.seed(torrent);

    BridgeSession byFile(root / "state-file");
    int filePort = byFile.port();
    auto added = byFile.addTorrent(torrent.torrentPath(), addOptions(root / "dl-file"));
    ASSERT_EQ(added.error, "");
    EXPECT_EQ(added.id, torrent.expectedId());

    BridgeSession byMagnet(root / "state-magnet");
    int magnetPort = byMagnet.port();
    auto magnet = byMagnet.addMagnet(torrent.magnet(), addOptions(root / "dl-magnet"));
    ASSERT_EQ(magnet.error, "");
    EXPECT_EQ(magnet.id, torrent.expectedId());

    auto seeding = [](const TorrentStatus& t) { return t.seeding && t.progress == 1; };
    EXPECT_TRUE(byFile.waitFor(added.id, seeding, 30s, [&] { seeder.connect(torrent, filePort); }));
    EXPECT_TRUE(
        byMagnet.waitFor(magnet.id, seeding, 30s, [&] { seeder.connect(torrent, magnetPort); }));
    expectSameBytes(torrent, root / "dl-file");
    expectSameBytes(torrent, root / "dl-magnet");

    EXPECT_EQ(byFile.countEvents("finished", added.id), 1);
    EXPECT_EQ(byMagnet.countEvents("metadata", magnet.id), 1);

    // The same torrent again, either way, is the torrent already there.
    for (auto* session : {&byFile, &byMagnet}) {
        auto again = session->addTorrent(torrent.torrentPath(), addOptions(root / "other"));
        EXPECT_EQ(again.id, torrent.expectedId());
        EXPECT_EQ(again.error, "duplicate");
        auto viaMagnet = session->addMagnet(torrent.magnet(), addOptions(root / "other"));
        EXPECT_EQ(viaMagnet.id, torrent.expectedId());
        EXPECT_EQ(viaMagnet.error, "duplicate");
        EXPECT_EQ(session->status().torrents.size(), 1u);
        EXPECT_EQ(session->torrent(added.id)->savePath,
                  session == &byFile ? (root / "dl-file").string() : (root / "dl-magnet").string());
    }
}

TEST_F(Download, AStartTellsOnlyTheFinishOfWhatItHadToDownloadAgain) {
    auto torrent = swarm::GeneratedTorrent::create(root / "seed", threeFiles());
    seeder.seed(torrent);
    auto state = root / "state";
    auto seeding = [](const TorrentStatus& t) { return t.seeding && t.progress == 1; };
    std::string id;
    {
        BridgeSession session(state);
        int port = session.port();
        id = session.addTorrent(torrent.torrentPath(), addOptions(root / "dl")).id;
        ASSERT_TRUE(session.waitFor(id, seeding, 30s, [&] { seeder.connect(torrent, port); }));
        EXPECT_EQ(session.countEvents("finished", id), 1);
    }
    {
        // Checked again and found whole: nothing finished.
        BridgeSession restarted(state);
        ASSERT_TRUE(restarted.waitFor(id, seeding, 20s));
        EXPECT_EQ(restarted.countEvents("finished", id), 0);
    }
    {
        // Found damaged, the piece comes again: that finish is told.
        std::fstream f(torrent.filePath(root / "dl", 0),
                       std::ios::in | std::ios::out | std::ios::binary);
        f.write(std::string(1000, '\0').data(), 1000);
    }
    BridgeSession damaged(state);
    int port = damaged.port();
    ASSERT_TRUE(damaged.waitFor(
        id, [](const TorrentStatus& t) { return !t.seeding && t.state != "checking"; }, 20s));
    EXPECT_TRUE(damaged.waitFor(id, seeding, 30s, [&] { seeder.connect(torrent, port); }));
    EXPECT_EQ(damaged.countEvents("finished", id), 1);
    expectSameBytes(torrent, root / "dl");
}

TEST_F(Download, AHybridTorrentFromAV1MagnetKeepsItsFirstId) {
    auto torrent = swarm::GeneratedTorrent::create(root / "seed", threeFiles());
    ASSERT_TRUE(torrent.infoHashes().has_v2());
    seeder.seed(torrent);
    std::string v1Id = torrent.magnetV1().substr(20, 40);
    ASSERT_NE(v1Id, torrent.expectedId());

    auto state = root / "state";
    {
        BridgeSession session(state);
        int port = session.port();
        auto added = session.addMagnet(torrent.magnetV1(), addOptions(root / "dl"));
        ASSERT_EQ(added.id, v1Id);
        EXPECT_TRUE(session.waitFor(
            v1Id, [](const TorrentStatus& t) { return t.seeding; }, 30s,
            [&] { seeder.connect(torrent, port); }));
        expectSameBytes(torrent, root / "dl");

        // Metadata upgraded the torrent to v1+v2; every report keeps the v1 id.
        auto snapshot = session.status();
        ASSERT_EQ(snapshot.torrents.size(), 1u);
        EXPECT_EQ(snapshot.torrents[0].id, v1Id);
        for (const auto& e : session.pollEvents())
            EXPECT_EQ(e.id, v1Id) << e.type;
        EXPECT_NE(BridgeString(tb_files_json(session.get(), v1Id.c_str())).str(), "[]");
        EXPECT_EQ(BridgeString(tb_files_json(session.get(), torrent.expectedId().c_str())).str(),
                  "[]");

        // The hybrid .torrent is the same torrent: duplicate, under the first id.
        auto again = session.addTorrent(torrent.torrentPath(), addOptions(root / "other"));
        EXPECT_EQ(again.id, v1Id);
        EXPECT_EQ(again.error, "duplicate");
    }
    EXPECT_TRUE(fs::exists(state / "resume" / (v1Id + ".resume")));
    EXPECT_FALSE(fs::exists(state / "resume" / (torrent.expectedId() + ".resume")));

    // A restart brings it back under the id its files were saved with.
    BridgeSession restarted(state);
    EXPECT_TRUE(restarted.waitFor(
        v1Id, [](const TorrentStatus& t) { return t.seeding; }, 20s));
    EXPECT_EQ(restarted.status().torrents.size(), 1u);
}

TEST_F(Download, ARestartRestoresTorrentsWithTheirSettings) {
    auto torrent = swarm::GeneratedTorrent::create(root / "seed", threeFiles());
    swarm::GeneratedTorrent::Options other = threeFiles();
    other.seed = 2;
    auto magnetOnly = swarm::GeneratedTorrent::create(root / "elsewhere", other);
    auto state = root / "state";
    std::string id, magnetId;
    {
        BridgeSession session(state);
        id =
            session.addTorrent(torrent.torrentPath(), addOptions(root / "seed", "sequential=1")).id;
        magnetId = session.addMagnet(magnetOnly.magnet(), addOptions(root / "dl", "paused=1")).id;
        ASSERT_TRUE(session.waitFor(
            id, [](const TorrentStatus& t) { return t.seeding; }, 20s));
        ASSERT_EQ(tb_set_limits(session.get(), id.c_str(), 4096, 2048, 30, 3), 1);
    }
    BridgeSession restarted(state);
    auto t = restarted.torrent(id);
    ASSERT_TRUE(t);
    EXPECT_TRUE(restarted.waitFor(
        id, [](const TorrentStatus& t) { return t.seeding; }, 20s));
    t = restarted.torrent(id);
    EXPECT_TRUE(t->sequential);
    EXPECT_EQ(t->downloadLimit, 4096);
    EXPECT_EQ(t->uploadLimit, 2048);
    EXPECT_EQ(t->connectionsLimit, 30);
    EXPECT_EQ(t->uploadsLimit, 3);
    EXPECT_EQ(t->savePath, (root / "seed").string());

    auto m = restarted.torrent(magnetId);
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->paused);
    EXPECT_FALSE(m->hasMetadata);
}

} // namespace
} // namespace tevro::test
