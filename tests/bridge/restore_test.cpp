// Saved torrents come back after the session has started: its status says
// "restoring" until every one of them is in, under the ids they were saved
// with, a session destroyed meanwhile loses none of them, and a command on
// one not in yet acts on it once it is.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/bridge/bridge_fixture.h"
#include "tests/support/hostile_torrents.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/swarm/saved_torrents.h"
#include "tests/support/swarm/wait_until.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

namespace fs = std::filesystem;

constexpr int kSaved = 300;
const std::string kDamagedId = std::string(40, 'd');

std::set<std::string> idsOf(const StatusSnapshot& s) {
    std::set<std::string> ids;
    for (const auto& t : s.torrents)
        ids.insert(t.id);
    return ids;
}

// The torrent's trackers as the session lists them: url and whether extra.
std::map<std::string, bool> trackersOf(tb_session* s, const std::string& id) {
    std::map<std::string, bool> out;
    for (const auto& t :
         nlohmann::json::parse(BridgeString(tb_trackers_json(s, id.c_str())).view()))
        out[t["url"].get<std::string>()] = t["extra"].get<bool>();
    return out;
}

// Saved torrents and one resume file that does not decode.
std::set<std::string> saveLibrary(const fs::path& root) {
    auto ids = swarm::writeSavedTorrents(root / "state", root / "data", kSaved);
    std::ofstream(root / "state" / "resume" / (kDamagedId + ".resume")) << "d4:name3:bad";
    return {ids.begin(), ids.end()};
}

TEST(Restore, TheStatusSaysRestoringUntilEverySavedTorrentIsIn) {
    TempDir root;
    const std::set<std::string> saved = saveLibrary(root.path());
    const std::string settings = swarm::loopbackSettingsText();
    tb_session* s = tb_session_create((root / "state").c_str(), settings.c_str());
    StatusSnapshot last;
    bool flagged = false;
    std::string events; // the queue keeps only the newest: taken as they come
    ASSERT_TRUE(swarm::waitUntil(
        [&] {
            events += BridgeString(tb_poll_events(s)).view();
            BridgeString text(tb_status_json(s));
            flagged = flagged || text.view().find("\"restoring\":true") != std::string_view::npos;
            EXPECT_NE(text.view().find("\"restoring\":"), std::string_view::npos);
            auto snapshot = StatusSnapshot::decode(text.view());
            if (!snapshot)
                return false;
            last = *snapshot;
            // Never "done" with a torrent missing from the list.
            if (!last.session.restoring) {
                EXPECT_EQ(idsOf(last), saved);
            }
            return !last.session.restoring;
        },
        60s, 5ms));
    EXPECT_EQ(idsOf(last), saved);
    if (!flagged)
        std::fprintf(stderr, "note: every torrent was in by the first status\n");

    // The damaged file is set aside and said once, as at any start.
    events += BridgeString(tb_poll_events(s)).view();
    EXPECT_NE(events.find("\"set_aside\""), std::string::npos);
    EXPECT_NE(events.find(kDamagedId), std::string::npos);
    EXPECT_FALSE(fs::exists(root / "state" / "resume" / (kDamagedId + ".resume")));
    // Saved as finished and found whole again: nothing was downloaded.
    EXPECT_EQ(events.find("\"finished\""), std::string::npos);
    tb_session_destroy(s);
}

TEST(Restore, ADestroyDuringTheRestoreLosesNoSavedTorrent) {
    TempDir root;
    const std::set<std::string> saved = saveLibrary(root.path());
    const std::string settings = swarm::loopbackSettingsText();
    tb_session_destroy(tb_session_create((root / "state").c_str(), settings.c_str()));
    for (const auto& id : saved)
        EXPECT_TRUE(fs::exists(root / "state" / "resume" / (id + ".resume"))) << id;

    BridgeSession again(root / "state");
    EXPECT_EQ(idsOf(again.status()), saved);
}

TEST(Restore, ACommandOnATorrentStillToBeRestoredTakesEffect) {
    TempDir root;
    const std::vector<std::string> written =
        swarm::writeSavedTorrents(root / "state", root / "data", kSaved);
    const std::set<std::string> saved(written.begin(), written.end());
    // Read in name order: the last names are the furthest from registered.
    const std::vector<std::string> last(std::prev(saved.end(), 3), saved.end());
    const std::string removed = last[0], paused = last[1], limited = last[2];
    const fs::path removedData =
        root / "data" /
        ("Saved." +
         std::to_string(std::find(written.begin(), written.end(), removed) - written.begin()));
    const fs::path removedFile = removedData / (removedData.filename().string() + ".bin");
    ASSERT_TRUE(fs::exists(removedFile));

    const std::string settings = swarm::loopbackSettingsText();
    tb_session* s = tb_session_create((root / "state").c_str(), settings.c_str());
    EXPECT_EQ(tb_remove(s, removed.c_str(), 1), 1);
    EXPECT_EQ(tb_action(s, paused.c_str(), "pause"), 1);
    EXPECT_EQ(tb_set_limits(s, limited.c_str(), 1000, 2000, 0, 0), 1);
    // No saved file, no wait: unknown at once.
    EXPECT_EQ(tb_remove(s, std::string(40, 'e').c_str(), 0), 0);

    std::set<std::string> rest = saved;
    rest.erase(removed);
    auto kept = [&](const StatusSnapshot& status) {
        EXPECT_EQ(idsOf(status), rest);
        for (const auto& t : status.torrents) {
            if (t.id == paused) {
                EXPECT_TRUE(t.paused);
            }
            if (t.id == limited) {
                EXPECT_EQ(t.downloadLimit, 1000);
                EXPECT_EQ(t.uploadLimit, 2000);
            }
        }
    };
    StatusSnapshot status;
    ASSERT_TRUE(swarm::waitUntil(
        [&] {
            auto snapshot = StatusSnapshot::decode(BridgeString(tb_status_json(s)).view());
            if (snapshot)
                status = *snapshot;
            return snapshot && !snapshot->session.restoring;
        },
        60s, 5ms));
    kept(status);
    EXPECT_FALSE(fs::exists(root / "state" / "resume" / (removed + ".resume")));
    EXPECT_FALSE(fs::exists(root / "state" / "resume" / (removed + ".presence")));
    EXPECT_TRUE(swarm::waitUntil([&] { return !fs::exists(removedFile); }, 10s, 20ms));
    tb_session_destroy(s);

    // The next start finds what the commands left.
    BridgeSession again(root / "state");
    kept(again.status());
}

// Most of a large library is saved held by libtorrent's queue: a start
// verifies those one after another at once, as running ones, where a wait
// for the queue's turn each would take minutes; one the user paused stays
// paused and unchecked.
TEST(Restore, TorrentsTheQueueHeldAreVerifiedAtTheStartAndPausedOnesStayPaused) {
    TempDir root;
    const auto queued =
        swarm::writeSavedTorrents(root / "state", root / "data", kSaved, swarm::SavedAs::queued);
    const auto held =
        swarm::writeSavedTorrents(root / "state", root / "data", 3, swarm::SavedAs::paused, "Held");
    const std::set<std::string> waiting(queued.begin(), queued.end());
    BridgeSession s(root / "state");
    StatusSnapshot status;
    ASSERT_TRUE(swarm::waitUntil(
        [&] {
            status = s.status();
            int verified = 0;
            for (const auto& t : status.torrents)
                verified += waiting.contains(t.id) && !t.isChecking() && t.state != "unknown";
            return !status.session.restoring && verified == kSaved;
        },
        60s, 20ms));
    for (const auto& t : status.torrents) {
        if (waiting.contains(t.id)) {
            EXPECT_TRUE(t.autoManaged) << t.name;
            EXPECT_EQ(t.progress, 1.0) << t.name;
        } else {
            EXPECT_TRUE(t.paused) << t.name;
            EXPECT_FALSE(t.autoManaged) << t.name;
        }
    }
    EXPECT_EQ(status.torrents.size(), queued.size() + held.size());
}

TEST(Restore, ARestoredTorrentsTrackersFollowTheSessionsRule) {
    TempDir root;
    // A tracker with mirrors, and one the torrent lists twice.
    const std::string own = "http://bt.t-ru.org/ann", other = "udp://127.0.0.1:9/other",
                      extra = "udp://127.0.0.1:9/extra";
    fs::path torrent =
        writeTorrent(root, "t.torrent",
                     hostileTorrent(hostileInfo({{{"a.mkv"}, 100}}, "t"), {own, other, other}));
    std::string id;
    {
        BridgeSession first(root / "state");
        tb_set_extra_trackers(first.get(), "", 0);
        id = first.addTorrent(torrent, addOptions(root / "data", "paused=1")).id;
        ASSERT_FALSE(id.empty());
        ASSERT_EQ(trackersOf(first.get(), id),
                  (std::map<std::string, bool>{{own, false}, {other, false}}));
    }

    // Saved without mirrors; this session has them on from its start, so the
    // restore itself applies the rule.
    BridgeSession again(root / "state");
    std::map<std::string, bool> expected{{own, false}, {other, false}};
    for (const char* label : {"bt2", "bt3", "bt4", "bt5"})
        expected[std::string("http://") + label + ".t-ru.org/ann"] = false;
    EXPECT_EQ(trackersOf(again.get(), id), expected);
    BridgeString text(tb_trackers_json(again.get(), id.c_str()));
    for (const auto& t : nlohmann::json::parse(text.view()))
        EXPECT_EQ(t["mirror"].get<bool>(),
                  t["url"].get<std::string>() != own && t["url"].get<std::string>() != other)
            << t.dump();
    tb_set_extra_trackers(again.get(), extra.c_str(), 0);
    expected = {{own, false}, {other, false}, {extra, true}};
    EXPECT_EQ(trackersOf(again.get(), id), expected);
}

} // namespace
} // namespace tevro::test
