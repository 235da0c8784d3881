// A download folder that fills up: each torrent stops once with the full disk
// named (never the "Bad address" of reading what was never stored), and once
// there is room again a resume, or a restart, lets it go on to the right
// bytes. The folder is a small tmpfs; where the machine refuses to mount one
// the test is skipped.

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/bridge/bridge_fixture.h"
#include "tests/support/small_disk.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

namespace fs = std::filesystem;

constexpr char kFull[] = "На диске нет места";

swarm::GeneratedTorrent bigTorrent(const fs::path& folder, const std::string& name,
                                   std::uint32_t seed) {
    swarm::GeneratedTorrent::Options o;
    o.name = name;
    o.files = {{name + "/" + name + ".bin", 3 << 20}, {name + "/notes.txt", 1000}};
    o.pieceSize = 64 * 1024;
    o.seed = seed;
    return swarm::GeneratedTorrent::create(folder, o);
}

void expectSameBytes(const swarm::GeneratedTorrent& t, const fs::path& savePath) {
    auto bytes = fileBytes(t.filePath(savePath, 0));
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(*bytes == t.expectedBytes(0)) << t.filePath(savePath, 0) << " differs";
}

TEST(FullDisk, ResumeAndRestartGoOnOnceThereIsRoomAgain) {
    TempDir root;
    std::string why;
    auto disk = SmallDisk::mount(root / "downloads", 8 << 20, why);
    if (!disk)
        GTEST_SKIP() << "no tmpfs to fill on this machine: " << why;
    const fs::path save = disk->folder();
    writeAll(save / "filler", std::string(6 << 20, 'x'));

    auto first = bigTorrent(root / "seed-first", "first", 1);
    auto second = bigTorrent(root / "seed-second", "second", 2);
    swarm::Seeder seeder;
    seeder.seed(first);
    seeder.seed(second);
    auto session = std::make_unique<BridgeSession>(root / "state");
    int port = session->port();
    for (auto* t : {&first, &second})
        ASSERT_EQ(session->addTorrent(t->torrentPath(), addOptions(save)).error, "");
    auto connect = [&] {
        seeder.connect(first, port);
        seeder.connect(second, port);
    };
    auto full = [](const TorrentStatus& t) {
        return t.paused && t.error.find(kFull) != std::string::npos;
    };
    // Between them they want more than the 2 MiB left.
    for (auto* t : {&first, &second})
        ASSERT_TRUE(session->waitFor(t->expectedId(), full, 60s, connect))
            << session->torrent(t->expectedId())->error;
    for (auto* t : {&first, &second}) {
        EXPECT_NE(session->torrent(t->expectedId())->error.find(save.string()), std::string::npos);
        EXPECT_EQ(session->countEvents("error", t->expectedId()), 1);
    }
    // More reads of the missing pieces come too late to say anything new.
    std::this_thread::sleep_for(2s);
    session->pollEvents();
    for (const auto& e : session->history())
        EXPECT_EQ(e.message.find("Bad address"), std::string::npos) << e.message;
    EXPECT_EQ(session->countEvents("error"), 2);

    fs::remove(save / "filler");
    auto done = [](const TorrentStatus& t) { return t.seeding && t.progress == 1; };
    ASSERT_EQ(tb_action(session->get(), first.expectedId().c_str(), "resume"), 1);
    ASSERT_TRUE(session->waitFor(first.expectedId(), done, 60s, connect))
        << session->torrent(first.expectedId())->error;
    expectSameBytes(first, save);
    EXPECT_TRUE(full(*session->torrent(second.expectedId())));

    // The other one goes on by itself after a restart.
    session.reset();
    session = std::make_unique<BridgeSession>(root / "state");
    port = session->port();
    ASSERT_TRUE(session->waitFor(second.expectedId(), done, 60s, connect))
        << session->torrent(second.expectedId())->error;
    expectSameBytes(second, save);
    EXPECT_EQ(session->countEvents("error"), 0);
}

} // namespace
} // namespace tevro::test
