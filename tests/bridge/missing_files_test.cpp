// A completed file that disappears from disk: the torrent is flagged missing
// with one "error" event, and resuming or rechecking clears the flag.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "tests/bridge/bridge_fixture.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/wait_until.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

namespace fs = std::filesystem;

const std::string kMissingText = "Файл удалён или перемещён: «two.bin». Верните файл и "
                                 "проверьте его или перезапустите загрузку.";

class MissingFiles : public ::testing::Test {
protected:
    void SetUp() override {
        swarm::GeneratedTorrent::Options o;
        o.name = "set";
        o.files = {{"one.bin", 40'000}, {"two.bin", 70'000}, {"three.bin", 20'000}};
        o.pieceSize = 16 * 1024;
        o.v1Only = true;
        torrent = swarm::GeneratedTorrent::create(root / "data", o);
        id = session.addTorrent(torrent.torrentPath(), addOptions(root / "data")).id;
        ASSERT_TRUE(session.waitFor(
            id, [](const TorrentStatus& t) { return t.seeding; }, 20s));
        // Every complete file is on the presence list before anything is deleted.
        ASSERT_TRUE(swarm::waitUntil([&] { return readPresence() == "v1\n0\n1\n2\n"; }, 5s));
    }

    std::string readPresence() {
        return fileBytes(root / "state" / "resume" / (id + ".presence")).value_or("");
    }
    bool flagged() {
        auto t = session.torrent(id);
        return t && t->state == "missing";
    }

    TempDir root;
    BridgeSession session{root / "state"};
    swarm::GeneratedTorrent torrent;
    std::string id;
};

TEST_F(MissingFiles, ADeletedFileFlagsTheTorrentWithOneEvent) {
    fs::remove(torrent.filePath(root / "data", 1));
    ASSERT_TRUE(swarm::waitUntil([&] { return flagged(); }, 3s));
    auto t = *session.torrent(id);
    EXPECT_FALSE(t.finished);
    EXPECT_FALSE(t.seeding);
    EXPECT_TRUE(t.paused);
    EXPECT_EQ(t.error, kMissingText);
    EXPECT_EQ(session.countEvents("error", id), 1);
    EXPECT_EQ(session.history().back().message, kMissingText);
    EXPECT_EQ(session.history().back().name, "set");
    EXPECT_EQ(tb_reader_open(session.get(), id.c_str(), 0), nullptr);

    // A second deletion while flagged adds nothing.
    fs::remove(torrent.filePath(root / "data", 2));
    swarm::waitUntil([] { return false; }, 1500ms);
    EXPECT_EQ(session.countEvents("error", id), 1);
    EXPECT_TRUE(flagged());

    // Resuming clears the flag and rechecks: the lost files are wanted again.
    ASSERT_EQ(tb_action(session.get(), id.c_str(), "resume"), 1);
    EXPECT_TRUE(session.waitFor(
        id,
        [](const TorrentStatus& t) {
            return t.state == "downloading" && !t.paused && t.error.empty() && t.progress < 1;
        },
        10s));
    // The presence list starts over; no file is whole again (pieces span the gone ones).
    EXPECT_EQ(readPresence(), "v1\n");
    EXPECT_EQ(session.countEvents("error", id), 1);
}

// The scan looks only where something changed on a complete file's path: a
// folder renamed above the files is one such change.
TEST_F(MissingFiles, AFolderMovedAboveTheFilesFlagsTheTorrent) {
    fs::rename(root / "data" / "set", root / "data" / "moved");
    ASSERT_TRUE(swarm::waitUntil([&] { return flagged(); }, 3s));
    EXPECT_EQ(session.countEvents("error", id), 1);
    EXPECT_NE(session.torrent(id)->error.find("one.bin"), std::string::npos);
}

TEST_F(MissingFiles, RecheckOfAFlaggedTorrentChecksOnceAndStops) {
    fs::path two = torrent.filePath(root / "data", 1);
    std::string bytes = torrent.expectedBytes(1);
    fs::remove(two);
    ASSERT_TRUE(swarm::waitUntil([&] { return flagged(); }, 3s));

    // The file comes back; a recheck finds everything and leaves the torrent stopped.
    std::ofstream(two, std::ios::binary) << bytes;
    ASSERT_EQ(tb_action(session.get(), id.c_str(), "recheck"), 1);
    EXPECT_TRUE(session.waitFor(
        id,
        [](const TorrentStatus& t) {
            return t.state == "seeding" && t.paused && t.progress == 1 && t.error.empty();
        },
        10s));
    EXPECT_EQ(session.countEvents("error", id), 1);
}

TEST_F(MissingFiles, ARestartWithAFileGoneAddsTheTorrentPaused) {
    session.destroy();
    fs::remove(torrent.filePath(root / "data", 0));
    BridgeSession restarted(root / "state");
    auto t = restarted.torrent(id);
    ASSERT_TRUE(t);
    EXPECT_TRUE(t->paused);
    EXPECT_FALSE(t->autoManaged);
    EXPECT_TRUE(swarm::waitUntil(
        [&] {
            auto now = restarted.torrent(id);
            return now && now->state == "missing";
        },
        3s));
}

// A completed file cut short under the running session: a read of its lost
// part fails, which starts a recheck, three times at most; the fourth failure
// is an error.
TEST_F(MissingFiles, ReadErrorsRecheckThreeTimesThenReportAnError) {
    const fs::path two = torrent.filePath(root / "data", 1);
    const std::string bytes = torrent.expectedBytes(1);
    for (int round = 1; round <= 4; ++round) {
        SCOPED_TRACE(round);
        fs::resize_file(two, 5'000);
        tb_reader* reader = tb_reader_open(session.get(), id.c_str(), 1);
        ASSERT_NE(reader, nullptr);
        std::thread reading([&] {
            char buffer[4096];
            tb_reader_seek(reader, 60'000);
            tb_reader_read(reader, buffer, sizeof buffer);
        });
        // The fourth failure is reported as the file's error (the library
        // also reports each failure as a torrent error of its own).
        auto fileError = [&] {
            return std::any_of(
                session.history().begin(), session.history().end(), [](const TorrentEvent& e) {
                    return e.type == "error" && e.message.find("two.bin") != std::string::npos;
                });
        };
        const bool seen = swarm::waitUntil(
            [&] {
                session.pollEvents();
                return round <= 3 ? session.countEvents("recheck", id) >= round : fileError();
            },
            10s);
        tb_reader_cancel(reader);
        reading.join();
        tb_reader_close(reader);
        ASSERT_TRUE(seen);
        EXPECT_FALSE(flagged()); // the file is there: no missing-file flag
        if (round <= 3) {
            // The file mended, a check makes the torrent whole again.
            ASSERT_TRUE(session.waitFor(
                id, [](const TorrentStatus& t) { return !t.isChecking(); }, 20s));
            std::ofstream(two, std::ios::binary | std::ios::trunc) << bytes;
            ASSERT_EQ(tb_action(session.get(), id.c_str(), "recheck"), 1);
            ASSERT_TRUE(session.waitFor(
                id, [](const TorrentStatus& t) { return t.seeding && t.progress == 1; }, 20s));
        }
    }
    EXPECT_EQ(session.countEvents("recheck", id), 3);
}

// Nothing asks for the status here, so the library posts no alert: the
// alert thread still wakes for its scan, and the deletion is told within
// about a second.
TEST_F(MissingFiles, AnIdleSessionStillFindsADeletedFile) {
    swarm::waitUntil([] { return false; }, 1500ms); // the start's alerts are handled
    fs::remove(torrent.filePath(root / "data", 0));
    EXPECT_TRUE(swarm::waitUntil([&] { return session.countEvents("error", id) == 1; }, 3s));
}

} // namespace
} // namespace tevro::test
