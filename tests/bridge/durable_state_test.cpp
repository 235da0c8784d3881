// The state folder survives a crash: an add is on disk when the call returns,
// leftovers of interrupted writes are cleared at the next start, and a state
// folder is made with every missing parent.

#include <csignal>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "tests/bridge/bridge_fixture.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

namespace fs = std::filesystem;

const std::string kMagnet = "magnet:?xt=urn:btih:00112233445566778899aabbccddeeff00112233&dn=late";

swarm::GeneratedTorrent smallTorrent(const fs::path& folder) {
    swarm::GeneratedTorrent::Options o;
    o.name = "kept";
    o.files = {{"a.bin", 30'000}, {"b.bin", 10'000}};
    o.pieceSize = 16 * 1024;
    o.v1Only = true;
    return swarm::GeneratedTorrent::create(folder, o);
}

// Adds in a forked child that is killed the moment the call returns, with no
// time for the session's own asynchronous saves.
void addThenDie(const fs::path& stateDir, const std::function<bool(tb_session*)>& add) {
    GTEST_FLAG_SET(death_test_style, "fast");
    const std::string settings = swarm::loopbackSettingsText();
    EXPECT_EXIT(
        {
            tb_session* s = tb_session_create(stateDir.c_str(), settings.c_str());
            if (add(s))
                std::raise(SIGKILL);
            std::exit(1);
        },
        ::testing::KilledBySignal(SIGKILL), "");
}

TEST(DurableState, AnAddSurvivesAKillRightAfterTheCall) {
    TempDir root;
    const fs::path state = root / "state";
    auto torrent = smallTorrent(root / "data");
    const std::string options = addOptions(root / "data", "paused=1");
    addThenDie(state, [&](tb_session* s) {
        char* id = tb_add_torrent(s, torrent.torrentPath().c_str(), options.c_str(), nullptr);
        return id != nullptr;
    });
    addThenDie(state, [&](tb_session* s) {
        char* id = tb_add_magnet(s, kMagnet.c_str(), options.c_str(), nullptr);
        return id != nullptr;
    });

    BridgeSession session(state);
    auto torrents = session.status().torrents;
    ASSERT_EQ(torrents.size(), 2u);
    bool sawFile = false;
    bool sawMagnet = false;
    for (const auto& t : torrents) {
        sawFile = sawFile || (t.name == "kept" && t.hasMetadata && session.files(t.id).size() == 2);
        sawMagnet = sawMagnet || t.id.starts_with("00112233445566778899aabbccddeeff00112233");
        EXPECT_TRUE(t.paused) << t.name;
    }
    EXPECT_TRUE(sawFile);
    EXPECT_TRUE(sawMagnet);
}

TEST(DurableState, LeftoversOfInterruptedWritesAreClearedAtStart) {
    TempDir root;
    const fs::path resume = root / "state" / "resume";
    fs::create_directories(resume);
    const std::string lone = std::string(40, 'a');
    writeAll(resume / (lone + ".presence"), "v1\n0\n");
    writeAll(resume / (lone + ".resume.tmp"), "");
    writeAll(resume / (lone + ".presence.tmp"), "v1\n");
    writeAll(root / "state" / "session.state.tmp", "");

    BridgeSession session(root / "state");
    EXPECT_TRUE(session.status().torrents.empty());
    EXPECT_TRUE(fs::is_empty(resume));
    EXPECT_FALSE(fs::exists(root / "state" / "session.state.tmp"));
}

// A resume file the session cannot open (here a folder, which root cannot
// read either) is reported and never replaced, even by adding its torrent.
TEST(DurableState, AResumeFileThatCannotBeReadIsNeverReplaced) {
    TempDir root;
    auto torrent = smallTorrent(root / "data");
    const fs::path blocked = root / "state" / "resume" / (torrent.expectedId() + ".resume");
    fs::create_directories(blocked / "inside");
    BridgeSession session(root / "state");
    EXPECT_TRUE(session.status().torrents.empty());
    EXPECT_EQ(session.countEvents("set_aside", torrent.expectedId()), 1);
    EXPECT_NE(session.history().back().message.find("не читается"), std::string::npos)
        << session.history().back().message;
    auto added = session.addTorrent(torrent.torrentPath(), addOptions(root / "data"));
    EXPECT_EQ(added.id, "");
    EXPECT_NE(added.error.find("не читается"), std::string::npos) << added.error;
    EXPECT_TRUE(fs::is_directory(blocked / "inside"));
}

TEST(DurableState, AStateFolderIsMadeWithItsParents) {
    TempDir root;
    const fs::path state = root / "deep" / "er" / "state";
    auto torrent = smallTorrent(root / "data");
    {
        BridgeSession session(state);
        auto added = session.addTorrent(torrent.torrentPath(), addOptions(root / "data"));
        ASSERT_EQ(added.error, "");
        EXPECT_TRUE(fs::exists(state / "resume" / (added.id + ".resume")));
    }
    BridgeSession again(state);
    EXPECT_EQ(again.status().torrents.size(), 1u);
}

} // namespace
} // namespace tevro::test
