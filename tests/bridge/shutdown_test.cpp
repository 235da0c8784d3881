// Removal against late resume saves, and what a session's destruction
// guarantees: readers released, the last state written.

#include <filesystem>
#include <future>
#include <map>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/bridge/bridge_fixture.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/saved_torrents.h"
#include "tests/support/swarm/wait_until.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

namespace fs = std::filesystem;

swarm::GeneratedTorrent small(const fs::path& folder, std::uint32_t seed) {
    swarm::GeneratedTorrent::Options o;
    o.name = "small";
    o.files = {{"a.bin", 30'000}};
    o.pieceSize = 16 * 1024;
    o.seed = seed;
    return swarm::GeneratedTorrent::create(folder, o);
}

TEST(Shutdown, RemovedTorrentsNeverComeBackAfterLateResumeSaves) {
    TempDir root;
    auto state = root / "state";
    std::vector<std::string> removed;
    std::string kept;
    {
        BridgeSession session(state);
        for (std::uint32_t i = 0; i < 12; ++i) {
            auto t = small(root / ("d" + std::to_string(i)), i + 1);
            auto id = session.addTorrent(t.torrentPath(), addOptions(t.savePath())).id;
            // Each action asks for a resume save; the removal races them.
            for (const char* a : {"sequential_on", "sequential_off", "queue_top", "resume"})
                tb_action(session.get(), id.c_str(), a);
            tb_save_state(session.get());
            ASSERT_EQ(tb_remove(session.get(), id.c_str(), 0), 1);
            removed.push_back(id);
        }
        auto t = small(root / "kept", 99);
        kept = session.addTorrent(t.torrentPath(), addOptions(t.savePath())).id;
        // Saves asked for after the removals have been written by now.
        ASSERT_TRUE(swarm::waitUntil(
            [&] { return fs::exists(state / "resume" / (kept + ".resume")); }, 5s));
    }
    for (const auto& id : removed) {
        EXPECT_FALSE(fs::exists(state / "resume" / (id + ".resume"))) << id;
        EXPECT_FALSE(fs::exists(state / "resume" / (id + ".presence"))) << id;
    }
    BridgeSession restarted(state);
    auto torrents = restarted.status().torrents;
    ASSERT_EQ(torrents.size(), 1u);
    EXPECT_EQ(torrents[0].id, kept);
}

TEST(Shutdown, DestroyReleasesABlockedReader) {
    TempDir root;
    auto t = small(root / "src", 1);
    BridgeSession session(root / "state");
    // The data is elsewhere and nobody seeds it: a read waits for ever.
    auto id = session.addTorrent(t.torrentPath(), addOptions(root / "empty")).id;
    tb_reader* reader = tb_reader_open(session.get(), id.c_str(), 0);
    ASSERT_NE(reader, nullptr);
    auto read = std::async(std::launch::async, [&] {
        char buf[16];
        return tb_reader_read(reader, buf, sizeof buf);
    });
    ASSERT_EQ(read.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);

    auto destroyed = std::async(std::launch::async, [&] { session.destroy(); });
    ASSERT_EQ(read.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(read.get(), -1);
    ASSERT_EQ(destroyed.wait_for(20s), std::future_status::ready);
    // A reader outlives its session safely: every call fails, closing frees it.
    char c;
    EXPECT_EQ(tb_reader_read(reader, &c, 1), -1);
    EXPECT_EQ(tb_reader_seek(reader, 0), -1);
    tb_reader_close(reader);
}

TEST(Shutdown, DestroyWritesTheLatestStateOfEveryTorrent) {
    TempDir root;
    auto t = small(root / "data", 5);
    auto state = root / "state";
    std::string id;
    {
        BridgeSession session(state);
        id = session.addTorrent(t.torrentPath(), addOptions(t.savePath())).id;
        ASSERT_TRUE(session.waitFor(
            id, [](const TorrentStatus& s) { return s.seeding; }, 10s));
        // Changes made just before the end are in the files the next start reads.
        tb_action(session.get(), id.c_str(), "sequential_on");
        tb_set_limits(session.get(), id.c_str(), 5000, 6000, 0, 0);
        tb_action(session.get(), id.c_str(), "pause");
    }
    BridgeSession restarted(state);
    auto s = restarted.torrent(id);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->sequential);
    EXPECT_TRUE(s->paused);
    EXPECT_EQ(s->downloadLimit, 5000);
    EXPECT_EQ(s->uploadLimit, 6000);
}

// The inode of each resume file: a save writes a new file over the old one.
std::map<std::string, ino_t> resumeInodes(const fs::path& state,
                                          const std::vector<std::string>& ids) {
    std::map<std::string, ino_t> out;
    for (const auto& id : ids) {
        struct stat st {};
        if (::stat((state / "resume" / (id + ".resume")).c_str(), &st) == 0)
            out[id] = st.st_ino;
    }
    return out;
}

TEST(Shutdown, DestroySavesOnlyTheTorrentsChangedSinceTheirLastSave) {
    TempDir root;
    auto state = root / "state";
    // Paused: nothing at the start changes them.
    auto ids = swarm::writeSavedTorrents(state, root / "data", 30, swarm::SavedAs::paused);
    auto before = resumeInodes(state, ids);
    ASSERT_EQ(before.size(), ids.size());
    {
        BridgeSession session(state);
        ASSERT_EQ(session.status().torrents.size(), ids.size());
        tb_set_limits(session.get(), ids[0].c_str(), 5000, 6000, 0, 0);
    }
    auto after = resumeInodes(state, ids);
    ASSERT_EQ(after.size(), ids.size());
    EXPECT_NE(after[ids[0]], before[ids[0]]);
    for (std::size_t i = 1; i < ids.size(); ++i)
        EXPECT_EQ(after[ids[i]], before[ids[i]]) << ids[i] << " was written again";

    BridgeSession restarted(state);
    EXPECT_EQ(restarted.status().torrents.size(), ids.size());
    auto changed = restarted.torrent(ids[0]);
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->downloadLimit, 5000);
    EXPECT_TRUE(changed->paused);
}

// A start checks the torrents libtorrent's queue held and finds them whole:
// what it would save restores what their files say already, and none is
// written again. A change to one of them is written; it is also the sign that
// every save asked for before it is done.
TEST(Shutdown, AStartThatFindsTheLibraryAsSavedWritesNoneOfItAgain) {
    TempDir root;
    auto state = root / "state";
    auto ids = swarm::writeSavedTorrents(state, root / "data", 20, swarm::SavedAs::queued);
    const std::string mark =
        swarm::writeSavedTorrents(state, root / "data", 1, swarm::SavedAs::queued, "Mark")[0];
    auto start = [&](int limit) {
        BridgeSession session(state);
        ASSERT_TRUE(swarm::waitUntil(
            [&] {
                StatusSnapshot s = session.status();
                int verified = 0;
                for (const auto& t : s.torrents)
                    verified += !t.isChecking() && t.state != "unknown" && t.progress == 1.0;
                return !s.session.restoring && verified == int(ids.size()) + 1;
            },
            30s, 20ms));
        auto marked = resumeInodes(state, {mark});
        tb_set_limits(session.get(), mark.c_str(), limit, 0, 0, 0);
        ASSERT_TRUE(swarm::waitUntil([&] { return resumeInodes(state, {mark}) != marked; }, 10s));
    };
    // The first start writes what libtorrent adds to the files as written here.
    start(5000);
    auto before = resumeInodes(state, ids);
    ASSERT_EQ(before.size(), ids.size());
    start(6000);
    EXPECT_EQ(resumeInodes(state, ids), before);

    BridgeSession restarted(state);
    EXPECT_EQ(restarted.status().torrents.size(), ids.size() + 1);
}

} // namespace
} // namespace tevro::test
