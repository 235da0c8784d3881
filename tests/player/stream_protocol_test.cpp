// The "tevro" stream protocol: its URLs, and mpv's callbacks on a real
// bridge reader of a torrent whose data is on disk.

#include "tevro/player/stream_protocol.h"

#include <mpv/client.h>

#include <gtest/gtest.h>

#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/swarm/wait_until.h"
#include "tests/support/temp_dir.h"
#include "tevro/bridge/bridge_string.h"
#include "tevro/bridge/torrent_bridge.h"

using namespace tevro;
using namespace std::chrono_literals;

TEST(StreamURL, ParsesAndRefuses) {
    EXPECT_EQ(streamURL("ab12", 3), "tevro://ab12/3");
    struct Case {
        std::string url;
        std::optional<StreamTarget> expected;
    };
    const Case cases[] = {
        {"tevro://ab12/3", StreamTarget{"ab12", 3}},
        {"tevro://ab12/0", StreamTarget{"ab12", 0}},
        {"tevro://ab12/+0", StreamTarget{"ab12", 0}},
        {"tevro://ab12//3/", StreamTarget{"ab12", 3}},
        {"tevro://ab12/-2", StreamTarget{"ab12", -2}}, // the bridge refuses it
        {"tevro://ab12/2147483647", StreamTarget{"ab12", 2147483647}},
        {"TEVRO://ab12/3", std::nullopt},
        {"tevro://ab12/", std::nullopt},
        {"tevro://ab12", std::nullopt},
        {"tevro://ab12/x", std::nullopt},
        {"tevro://ab12/3x", std::nullopt},
        {"tevro://ab12/ 3", std::nullopt},
        {"tevro://ab12/+", std::nullopt},
        {"tevro://ab12/+-3", std::nullopt},
        {"tevro://ab12/2147483648", std::nullopt},
        {"tevro://ab12/3/4", std::nullopt},
        {"http://ab12/3", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseStreamURL(c.url), c.expected) << c.url;
}

TEST(StreamProtocol, OpenRefusesWithoutSession) {
    mpv_stream_cb_info info{};
    char url[] = "tevro://ab12/0";
    EXPECT_EQ(tevroOpen(nullptr, url, &info), MPV_ERROR_LOADING_FAILED);
    EXPECT_EQ(info.cookie, nullptr);
}

namespace {

int fileIndex(const swarm::GeneratedTorrent& t, const std::string& suffix) {
    const auto& files = t.info()->files();
    for (auto f : files.file_range())
        if (files.file_path(f).ends_with(suffix))
            return static_cast<int>(f);
    return -1;
}

} // namespace

TEST(StreamProtocol, CallbacksForwardToTheBridgeReader) {
    test::TempDir dir;
    swarm::GeneratedTorrent::Options o;
    o.name = "clip";
    o.files = {{"a.bin", 300000}, {"empty.bin", 0}};
    auto torrent = swarm::GeneratedTorrent::create(dir / "data", o);
    tb_session* session =
        tb_session_create((dir / "state").c_str(), swarm::loopbackSettingsText().c_str());
    BridgeString error;
    BridgeString id(tb_add_torrent(session, torrent.torrentPath().c_str(),
                                   ("save_path=" + (dir / "data").string()).c_str(), error.out()));
    ASSERT_TRUE(id) << error.view();
    int a = fileIndex(torrent, "a.bin");
    int empty = fileIndex(torrent, "empty.bin");
    // Wait for the check of the data on disk so no read below can block.
    ASSERT_TRUE(swarm::waitUntil(
        [&] {
            BridgeString pieces(tb_pieces(session, id.get(), a));
            return !pieces.view().empty() &&
                   pieces.view().find_first_not_of('1') == std::string_view::npos;
        },
        20s));

    auto open = [&](const std::string& url, mpv_stream_cb_info& info) {
        std::string copy = url;
        return tevroOpen(session, copy.data(), &info);
    };
    std::string base = "tevro://" + id.str() + "/";

    mpv_stream_cb_info info{};
    ASSERT_EQ(open(base + "+" + std::to_string(a), info), 0);
    ASSERT_NE(info.cookie, nullptr);
    ASSERT_TRUE(info.read_fn && info.seek_fn && info.size_fn && info.close_fn && info.cancel_fn);
    EXPECT_EQ(info.size_fn(info.cookie), 300000);
    std::string expected = torrent.expectedBytes(a);
    std::string got;
    char buffer[4096];
    while (got.size() < 10000) {
        int64_t n = info.read_fn(info.cookie, buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        got.append(buffer, static_cast<size_t>(n));
    }
    EXPECT_EQ(got, expected.substr(0, got.size()));
    EXPECT_EQ(info.seek_fn(info.cookie, 299990), 299990);
    EXPECT_EQ(info.read_fn(info.cookie, buffer, sizeof buffer), 10);
    EXPECT_EQ(std::string(buffer, 10), expected.substr(299990));
    EXPECT_EQ(info.seek_fn(info.cookie, 300000), 300000); // the end itself is a position
    EXPECT_EQ(info.read_fn(info.cookie, buffer, sizeof buffer), 0);
    EXPECT_EQ(info.seek_fn(info.cookie, 300001), MPV_ERROR_GENERIC);
    EXPECT_EQ(info.seek_fn(info.cookie, -1), MPV_ERROR_GENERIC);
    info.cancel_fn(info.cookie);
    EXPECT_EQ(info.read_fn(info.cookie, buffer, sizeof buffer), -1);
    EXPECT_EQ(info.seek_fn(info.cookie, 0), MPV_ERROR_GENERIC);
    info.close_fn(info.cookie);

    mpv_stream_cb_info zero{};
    ASSERT_EQ(open("tevro://" + id.str() + "//" + std::to_string(empty) + "/", zero), 0);
    EXPECT_EQ(zero.size_fn(zero.cookie), 0);
    EXPECT_EQ(zero.read_fn(zero.cookie, buffer, sizeof buffer), 0);
    zero.close_fn(zero.cookie);

    for (const std::string& bad : {base + "-1", base + "99", std::string("tevro://ffff/0"),
                                   base + "x", base + std::to_string(a) + "/1"}) {
        mpv_stream_cb_info refused{};
        EXPECT_EQ(open(bad, refused), MPV_ERROR_LOADING_FAILED) << bad;
    }
    tb_session_destroy(session);
}
