// Named actions, priorities, limits, trackers, moves and removal on real
// torrents of a bridge session (local data, no peers needed).

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/bridge/bridge_fixture.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/wait_until.h"
#include "tests/support/temp_dir.h"
#include "tevro/core/tracker_info.h"

namespace tevro::test {
namespace {

namespace fs = std::filesystem;

swarm::GeneratedTorrent::Options threeFiles(std::uint32_t seed = 1) {
    swarm::GeneratedTorrent::Options o;
    o.name = "set";
    o.files = {{"one.bin", 40'000}, {"two.bin", 70'000}, {"three.bin", 20'000}};
    o.pieceSize = 16 * 1024;
    o.v1Only = true; // no pad files: file indices are the three files
    o.seed = seed;
    return o;
}

std::string randomMagnet(int n) {
    char hex[41];
    std::snprintf(hex, sizeof hex, "%040x", n + 0x1234);
    return std::string("magnet:?xt=urn:btih:") + hex;
}

auto seeding = [](const TorrentStatus& t) { return t.seeding; };

class Operations : public ::testing::Test {
protected:
    TempDir root;
    BridgeSession session{root / "state"};

    // A torrent whose data is already in place: it checks and seeds.
    std::pair<swarm::GeneratedTorrent, std::string> seeded(const std::string& folder,
                                                           std::uint32_t seed = 1) {
        auto t = swarm::GeneratedTorrent::create(root / folder, threeFiles(seed));
        auto added = session.addTorrent(t.torrentPath(), addOptions(root / folder));
        EXPECT_EQ(added.error, "");
        EXPECT_TRUE(session.waitFor(added.id, seeding, 20s));
        return {t, added.id};
    }

    std::vector<TrackerInfo> trackers(const std::string& id) {
        BridgeString text(tb_trackers_json(session.get(), id.c_str()));
        return json::decodeArray<TrackerInfo>(text.view()).value();
    }

    std::vector<std::int64_t> priorities(const std::string& id) {
        std::vector<std::int64_t> out;
        for (const auto& f : session.files(id))
            out.push_back(f.prio);
        return out;
    }
};

TEST_F(Operations, PauseResumeForceStartAndSequential) {
    auto [t, id] = seeded("data");
    // A seed reports its size: libtorrent itself leaves "total" at 0 there.
    EXPECT_EQ(session.torrent(id)->total, session.torrent(id)->totalDone);
    EXPECT_GT(session.torrent(id)->total, 0);
    auto act = [&](const char* name) { return tb_action(session.get(), id.c_str(), name); };
    struct Step {
        const char* action;
        bool paused, autoManaged, sequential;
    } steps[] = {
        {"pause", true, false, false},        {"resume", false, true, false},
        {"sequential_on", false, true, true}, {"pause", true, false, true},
        {"force_start", false, false, true},  {"sequential_off", false, false, false},
    };
    for (const auto& s : steps) {
        ASSERT_EQ(act(s.action), 1) << s.action;
        EXPECT_TRUE(session.waitFor(
            id,
            [&](const TorrentStatus& st) {
                return st.paused == s.paused && st.autoManaged == s.autoManaged &&
                       st.sequential == s.sequential;
            },
            5s))
            << s.action;
    }
    EXPECT_EQ(act("no_such_action"), 0);
    EXPECT_EQ(tb_action(session.get(), "0000000000000000000000000000000000000000", "pause"), 0);
}

TEST_F(Operations, RecheckFindsDamagedData) {
    auto [t, id] = seeded("data");
    {
        std::fstream f(t.filePath(root / "data", 1),
                       std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(100);
        f.put('\x7f');
    }
    ASSERT_EQ(tb_action(session.get(), id.c_str(), "recheck"), 1);
    EXPECT_TRUE(session.waitFor(
        id,
        [](const TorrentStatus& st) {
            return st.state != "checking" && !st.seeding && st.progress < 1 && st.totalDone > 0;
        },
        10s));
    BridgeString pieces(tb_pieces(session.get(), id.c_str(), 1));
    EXPECT_NE(pieces.view().find('0'), std::string_view::npos) << pieces.view();
}

TEST_F(Operations, QueueMoves) {
    std::vector<std::string> ids;
    for (int i = 0; i < 3; ++i)
        ids.push_back(session.addMagnet(randomMagnet(i), addOptions(root / "dl")).id);
    auto positions = [&] {
        std::vector<std::int64_t> out;
        for (const auto& id : ids)
            out.push_back(session.torrent(id)->queue);
        return out;
    };
    auto expectPositions = [&](std::vector<std::int64_t> expected, const char* after) {
        EXPECT_TRUE(swarm::waitUntil([&] { return positions() == expected; }, 5s)) << after;
    };
    expectPositions({0, 1, 2}, "adding");
    tb_action(session.get(), ids[0].c_str(), "queue_down");
    expectPositions({1, 0, 2}, "queue_down");
    tb_action(session.get(), ids[1].c_str(), "queue_bottom");
    expectPositions({0, 2, 1}, "queue_bottom");
    tb_action(session.get(), ids[2].c_str(), "queue_top");
    expectPositions({1, 2, 0}, "queue_top");
    tb_action(session.get(), ids[1].c_str(), "queue_up");
    expectPositions({2, 1, 0}, "queue_up");
}

TEST_F(Operations, FilePriorities) {
    auto t = swarm::GeneratedTorrent::create(root / "src", threeFiles());
    auto id =
        session.addTorrent(t.torrentPath(), addOptions(root / "dl", "paused=1\npriorities=4,0,7"))
            .id;
    EXPECT_EQ(priorities(id), (std::vector<std::int64_t>{4, 0, 7}));

    const int first[] = {0, 99, -1};
    EXPECT_EQ(tb_set_file_priorities(session.get(), id.c_str(), first, 3, 9), 1);
    EXPECT_TRUE(swarm::waitUntil(
        [&] {
            return priorities(id) == std::vector<std::int64_t>{7, 0, 7};
        },
        5s));
    const int last[] = {2};
    EXPECT_EQ(tb_set_file_priorities(session.get(), id.c_str(), last, 1, -3), 1);
    EXPECT_TRUE(swarm::waitUntil(
        [&] {
            return priorities(id) == std::vector<std::int64_t>{7, 0, 0};
        },
        5s));
    // Wanted bytes count whole pieces: the first file and the piece it shares.
    auto wanted = session.torrent(id)->wanted;
    EXPECT_GE(wanted, 40'000);
    EXPECT_LT(wanted, 40'000 + 2 * 16 * 1024);

    // Changes made back to back each keep the others: libtorrent applies a
    // priority change later, so none may be built from the list it reports.
    for (auto [file, priority] : {std::pair{1, 4}, std::pair{2, 1}, std::pair{0, 0}}) {
        const int one[] = {file};
        EXPECT_EQ(tb_set_file_priorities(session.get(), id.c_str(), one, 1, priority), 1);
    }
    EXPECT_TRUE(swarm::waitUntil(
        [&] {
            return priorities(id) == std::vector<std::int64_t>{0, 4, 1};
        },
        5s))
        << priorities(id)[0] << priorities(id)[1] << priorities(id)[2];

    auto chosen = swarm::GeneratedTorrent::create(root / "src2", threeFiles(2));
    auto none =
        session.addTorrent(chosen.torrentPath(), addOptions(root / "dl", "paused=1\nchoose=1")).id;
    EXPECT_EQ(priorities(none), (std::vector<std::int64_t>{0, 0, 0}));

    auto magnet =
        session.addMagnet(randomMagnet(7), addOptions(root / "dl", "priorities=4,0,7")).id;
    EXPECT_EQ(tb_set_file_priorities(session.get(), magnet.c_str(), first, 1, 4), 0);
}

TEST_F(Operations, PerTorrentLimits) {
    auto [t, id] = seeded("data");
    ASSERT_EQ(tb_set_limits(session.get(), id.c_str(), 1024, 0, 50, 4), 1);
    EXPECT_TRUE(session.waitFor(
        id,
        [](const TorrentStatus& st) {
            return st.downloadLimit == 1024 && st.uploadLimit < 1 && st.connectionsLimit == 50 &&
                   st.uploadsLimit == 4;
        },
        5s));
    // Only our own value changes: libtorrent has nothing new to report for it.
    ASSERT_EQ(tb_set_limits(session.get(), id.c_str(), 2048, 0, 50, 4), 1);
    EXPECT_TRUE(session.waitFor(
        id, [](const TorrentStatus& st) { return st.downloadLimit == 2048; }, 5s));
    ASSERT_EQ(tb_set_limits(session.get(), id.c_str(), 0, 0, 0, 0), 1);
    // Lifted: libtorrent reports every unlimited value as -1.
    EXPECT_TRUE(session.waitFor(
        id,
        [](const TorrentStatus& st) {
            return st.downloadLimit < 1 && st.uploadLimit < 1 && st.connectionsLimit < 1 &&
                   st.uploadsLimit < 1;
        },
        5s));
    EXPECT_EQ(tb_set_limits(session.get(), "ffffffffffffffffffffffffffffffffffffffff", 1, 1, 1, 1),
              0);
}

TEST_F(Operations, MirrorAndExtraTrackersFollowTheSessionList) {
    // Paused throughout: a paused torrent never announces, so nothing leaves the machine.
    auto opts = threeFiles();
    opts.trackers = {"http://bt2.t-ru.org:2710/announce", "udp://127.0.0.1:1/announce"};
    auto t = swarm::GeneratedTorrent::create(root / "src", opts);
    auto id = session.addTorrent(t.torrentPath(), addOptions(root / "dl", "paused=1")).id;

    auto summary = [&] {
        std::vector<std::string> out;
        for (const auto& tr : trackers(id))
            out.push_back(std::to_string(tr.tier) +
                          (tr.mirror  ? "m "
                           : tr.extra ? "x "
                                      : " ") +
                          tr.url);
        return out;
    };
    std::vector<std::string> withMirrors = {
        "0 http://bt2.t-ru.org:2710/announce",   "1 udp://127.0.0.1:1/announce",
        "98m http://bt.t-ru.org:2710/announce",  "98m http://bt3.t-ru.org:2710/announce",
        "98m http://bt4.t-ru.org:2710/announce", "98m http://bt5.t-ru.org:2710/announce"};
    EXPECT_EQ(summary(), withMirrors);

    tb_set_extra_trackers(session.get(), "udp://127.0.0.1:2/announce\n\nudp://127.0.0.1:3/announce",
                          0);
    EXPECT_EQ(summary(), (std::vector<std::string>{
                             "0 http://bt2.t-ru.org:2710/announce", "1 udp://127.0.0.1:1/announce",
                             "99x udp://127.0.0.1:2/announce", "99x udp://127.0.0.1:3/announce"}));
    tb_set_extra_trackers(session.get(), "", 1);
    EXPECT_EQ(summary(), withMirrors);

    // A private torrent gets neither.
    auto priv = threeFiles(3);
    priv.isPrivate = true;
    priv.trackers = {"http://bt2.t-ru.org:2710/announce"};
    auto p = swarm::GeneratedTorrent::create(root / "private", priv);
    tb_set_extra_trackers(session.get(), "udp://127.0.0.1:2/announce", 1);
    auto pid = session.addTorrent(p.torrentPath(), addOptions(root / "dl", "paused=1")).id;
    EXPECT_EQ(trackers(pid).size(), 1u);
    EXPECT_TRUE(session.torrent(pid)->isPrivate);
}

TEST_F(Operations, AddTrackers) {
    auto t = swarm::GeneratedTorrent::create(root / "src", threeFiles());
    auto id = session.addTorrent(t.torrentPath(), addOptions(root / "dl", "paused=1")).id;
    ASSERT_EQ(tb_add_trackers(session.get(), id.c_str(),
                              "udp://127.0.0.1:5/announce\n udp://127.0.0.1:6/announce \n"),
              1);
    EXPECT_TRUE(swarm::waitUntil([&] { return trackers(id).size() == 2; }, 5s));
    for (const auto& tr : trackers(id)) {
        EXPECT_EQ(tr.tier, 0);
        EXPECT_FALSE(tr.extra);
    }
}

TEST_F(Operations, AMagnetKeepsOnlyItsFirstEightyTrackers) {
    std::string uri = randomMagnet(7);
    for (int i = 0; i < 2000; ++i)
        uri += "&tr=udp%3A%2F%2F127.0.0.1%3A" + std::to_string(10000 + i) + "%2Fannounce";
    auto id = session.addMagnet(uri, addOptions(root / "dl", "paused=1")).id;
    ASSERT_FALSE(id.empty());
    auto list = trackers(id);
    ASSERT_EQ(list.size(), 80u);
    EXPECT_EQ(list.front().url, "udp://127.0.0.1:10000/announce");
    EXPECT_EQ(list.back().url, "udp://127.0.0.1:10079/announce");
}

TEST_F(Operations, RemoveForgetsStateFilesAndOptionallyTheData) {
    auto [kept, keptId] = seeded("kept");
    auto [gone, goneId] = seeded("gone", 2);
    auto resume = [&](const std::string& id) {
        return root / "state" / "resume" / (id + ".resume");
    };
    auto presence = [&](const std::string& id) {
        return root / "state" / "resume" / (id + ".presence");
    };
    ASSERT_TRUE(swarm::waitUntil(
        [&] { return fs::exists(resume(keptId)) && fs::exists(resume(goneId)); }, 5s));
    EXPECT_TRUE(fs::exists(presence(keptId)));

    EXPECT_EQ(tb_remove(session.get(), keptId.c_str(), 0), 1);
    EXPECT_EQ(tb_remove(session.get(), keptId.c_str(), 0), 0);
    EXPECT_EQ(tb_remove(session.get(), goneId.c_str(), 1), 1);
    EXPECT_FALSE(fs::exists(resume(keptId)));
    EXPECT_FALSE(fs::exists(presence(keptId)));
    EXPECT_FALSE(fs::exists(resume(goneId)));
    EXPECT_TRUE(session.status().torrents.empty());
    EXPECT_TRUE(fs::exists(kept.filePath(root / "kept", 0)));
    EXPECT_TRUE(swarm::waitUntil([&] { return !fs::exists(gone.filePath(root / "gone", 0)); }, 5s));

    // Removed means forgotten: adding it again is no duplicate.
    auto again = session.addTorrent(kept.torrentPath(), addOptions(root / "kept"));
    EXPECT_EQ(again.id, keptId);
    EXPECT_EQ(again.error, "");
}

TEST_F(Operations, MoveStorageAndAFailedMove) {
    auto [t, id] = seeded("data");
    ASSERT_EQ(tb_move_storage(session.get(), id.c_str(), (root / "moved").c_str()), 1);
    EXPECT_TRUE(session.waitFor(
        id,
        [&](const TorrentStatus& st) {
            return st.savePath == (root / "moved").string() && !st.moving;
        },
        10s));
    EXPECT_TRUE(fs::exists(t.filePath(root / "moved", 2)));
    EXPECT_FALSE(fs::exists(t.filePath(root / "data", 2)));

    // A destination below a plain file cannot be made: the failure is an event.
    std::ofstream(root / "plain.txt") << "x";
    ASSERT_EQ(tb_move_storage(session.get(), id.c_str(), (root / "plain.txt" / "sub").c_str()), 1);
    EXPECT_TRUE(swarm::waitUntil([&] { return session.countEvents("error", id) == 1; }, 10s));
    for (const auto& e : session.history())
        if (e.type == "error") {
            EXPECT_FALSE(e.message.empty());
        }
}

TEST_F(Operations, UnknownTorrentsGiveEmptyAnswers) {
    const char* unknown = "0123456789012345678901234567890123456789";
    tb_session* s = session.get();
    EXPECT_EQ(BridgeString(tb_files_json(s, unknown)).str(), "[]");
    EXPECT_EQ(BridgeString(tb_peers_json(s, unknown)).str(), "[]");
    EXPECT_EQ(BridgeString(tb_trackers_json(s, unknown)).str(), "[]");
    EXPECT_EQ(BridgeString(tb_pieces(s, unknown, 0)).str(), "");
    EXPECT_EQ(BridgeString(tb_piece_states(s, unknown)).str(), "");
    EXPECT_EQ(BridgeString(tb_files_json(s, nullptr)).str(), "[]");
    EXPECT_EQ(tb_remove(s, unknown, 1), 0);
    EXPECT_EQ(tb_move_storage(s, unknown, "/tmp"), 0);
    EXPECT_EQ(tb_add_trackers(s, unknown, "udp://127.0.0.1:1/a"), 0);
    EXPECT_EQ(tb_reader_open(s, unknown, 0), nullptr);
    EXPECT_EQ(tb_stream_progress(s, unknown, 0), -1);
    tb_prefetch(s, unknown, 0, 1 << 20, 0.5);

    BridgeString error;
    EXPECT_EQ(
        BridgeString(tb_add_torrent(s, (root / "nothing.torrent").c_str(), "", error.out())).get(),
        nullptr);
    EXPECT_FALSE(error.view().empty());
    EXPECT_EQ(BridgeString(tb_add_magnet(s, "magnet:?xt=urn:btih:zz", "", error.out())).get(),
              nullptr);
    EXPECT_FALSE(error.view().empty());
    EXPECT_EQ(BridgeString(tb_add_magnet(s, "magnet:?xt=urn:btih:zz", "", nullptr)).get(), nullptr);
}

TEST_F(Operations, PieceStringsOfASeed) {
    auto [t, id] = seeded("data");
    auto files = session.files(id);
    ASSERT_EQ(files.size(), 3u);
    for (const auto& f : files) {
        EXPECT_EQ(f.done, f.size);
        BridgeString pieces(tb_pieces(session.get(), id.c_str(), static_cast<int>(f.i)));
        EXPECT_EQ(pieces.str(), std::string(static_cast<std::size_t>(f.last - f.first + 1), '1'));
    }
    BridgeString states(tb_piece_states(session.get(), id.c_str()));
    EXPECT_EQ(states.str(), std::string(static_cast<std::size_t>(t.info()->num_pieces()), '1'));
    EXPECT_EQ(BridgeString(tb_pieces(session.get(), id.c_str(), 3)).str(), "");
}

} // namespace
} // namespace tevro::test
