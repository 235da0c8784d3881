// A bridge session's settings, listening sockets, diagnostics and state file.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <thread>

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <nlohmann/json.hpp>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/bridge/bridge_fixture.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/swarm/wait_until.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

nlohmann::json diagnostics(tb_session* s) {
    return nlohmann::json::parse(BridgeString(tb_diagnostics_json(s)).view());
}

// A port that was free a moment ago on 127.0.0.1.
int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

TEST(Session, SettingsTextsApplyAndOmittedKeysReturnToDefaults) {
    TempDir root;
    std::string base = swarm::loopbackSettingsText();
    BridgeSession session(root / "state", base + "\nconnections_limit=50\nrequest_queue_time=5\n"
                                                 "hashing_threads=4");
    auto settings = diagnostics(session.get())["settings"];
    EXPECT_EQ(settings["connections_limit"], 50);
    EXPECT_EQ(settings["request_queue_time"], 5);
    EXPECT_EQ(settings["hashing_threads"], 4);
    EXPECT_EQ(settings["checking_mem_usage"], 16384);
    EXPECT_EQ(settings.size(), 12u);

    // Switching to a text without those keys ends as a fresh session would.
    tb_apply_settings(session.get(), (base + "\nmax_out_request_queue=77").c_str());
    const lt::settings_pack defaults = lt::default_settings();
    EXPECT_TRUE(swarm::waitUntil(
        [&] {
            auto s = diagnostics(session.get())["settings"];
            return s["max_out_request_queue"] == 77 &&
                   s["connections_limit"] ==
                       defaults.get_int(lt::settings_pack::connections_limit) &&
                   s["request_queue_time"] ==
                       defaults.get_int(lt::settings_pack::request_queue_time) &&
                   s["hashing_threads"] == 16;
        },
        5s));
}

TEST(Session, ListeningFollowsTheListenInterfaces) {
    TempDir root;
    BridgeSession session(root / "state");
    int first = session.port();
    auto listening = session.status().session.listening;
    EXPECT_NE(
        std::find(listening.begin(), listening.end(), "TCP 127.0.0.1:" + std::to_string(first)),
        listening.end());

    // The same text again leaves the list alone.
    tb_apply_settings(session.get(), swarm::loopbackSettingsText().c_str());
    EXPECT_EQ(session.status().session.listening, listening);

    int next = freePort();
    std::string text = swarm::loopbackSettingsText();
    text.replace(text.find("127.0.0.1:0"), 11, "127.0.0.1:" + std::to_string(next));
    tb_apply_settings(session.get(), text.c_str());
    EXPECT_TRUE(swarm::waitUntil(
        [&] {
            auto now = session.status().session.listening;
            return !now.empty() && now[0] == "TCP 127.0.0.1:" + std::to_string(next) &&
                   std::none_of(now.begin(), now.end(), [&](const std::string& s) {
                       return s.ends_with(":" + std::to_string(first));
                   });
        },
        5s));
}

TEST(Session, ListenFailureIsReportedAsAnEvent) {
    TempDir root;
    // Another socket holds the port already.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::listen(fd, 1);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    int taken = ntohs(a.sin_port);
    std::string text = swarm::loopbackSettingsText();
    text.replace(text.find("127.0.0.1:0"), 11, "127.0.0.1:" + std::to_string(taken));
    // No retry on the next ports, no fallback to a port of the system's choice.
    text += "\nmax_retry_port_bind=0\nlisten_system_port_fallback=0";
    BridgeSession session(root / "state", text);
    EXPECT_TRUE(swarm::waitUntil([&] { return session.countEvents("listen_failed") >= 1; }, 5s));
    EXPECT_FALSE(session.status().session.listenErrors.empty());
    ::close(fd);
}

TEST(Session, DiagnosticsAndTheSessionStateFile) {
    TempDir root;
    {
        BridgeSession session(root / "state");
        EXPECT_TRUE(
            swarm::waitUntil([&] { return diagnostics(session.get())["sampleAgeMs"] >= 0; }, 5s));
        auto d = diagnostics(session.get());
        EXPECT_TRUE(d["counters"].contains("net.has_incoming_connections"));
        EXPECT_TRUE(d["counters"].contains("dht.dht_nodes"));
        tb_save_state(session.get());
        EXPECT_TRUE(std::filesystem::exists(root / "state" / "session.state"));
    }
    EXPECT_TRUE(std::filesystem::exists(root / "state" / "resume"));
    // A damaged state file is no obstacle to the next start.
    writeAll(root / "state" / "session.state", "garbage");
    BridgeSession again(root / "state");
    EXPECT_TRUE(again.status().torrents.empty());
}

TEST(Session, NullHandlesAreHarmless) {
    tb_session_destroy(nullptr);
    tb_free(nullptr);
    tb_apply_settings(nullptr, "x=1");
    tb_save_state(nullptr);
    EXPECT_EQ(BridgeString(tb_poll_events(nullptr)).str(), "[]");
    EXPECT_TRUE(StatusSnapshot::decode(BridgeString(tb_status_json(nullptr)).view()));
    EXPECT_EQ(tb_add_magnet(nullptr, "magnet:?", "", nullptr), nullptr);
    auto inspected = nlohmann::json::parse(BridgeString(tb_inspect_torrent(nullptr)).view());
    EXPECT_TRUE(inspected.contains("error"));
}

// The report keeps each torrent's row from one call to the next: a change to
// one torrent of several (here a value the session keeps itself) rewrites its
// row alone, and rows come and go with their torrents.
TEST(Session, StatusRowsFollowEachTorrent) {
    TempDir root;
    BridgeSession session{root / "state"};
    auto rows = [&] {
        std::map<std::string, std::string> out;
        auto report = nlohmann::json::parse(BridgeString(tb_status_json(session.get())).view());
        for (const auto& row : report["torrents"])
            out[row["id"]] = row.dump();
        return out;
    };
    auto magnet = [](int n) {
        char hex[41];
        std::snprintf(hex, sizeof hex, "%040x", n + 0x777);
        return std::string("magnet:?xt=urn:btih:") + hex + "&dn=T" + std::to_string(n);
    };
    std::vector<std::string> ids;
    for (int i = 0; i < 4; ++i) {
        auto added = session.addMagnet(magnet(i), addOptions(root / "dl", "paused=1"));
        ASSERT_FALSE(added.id.empty()) << added.error;
        ids.push_back(added.id);
    }
    auto before = rows();
    ASSERT_EQ(before.size(), 4u);
    EXPECT_EQ(rows(), before);

    ASSERT_EQ(tb_set_limits(session.get(), ids[1].c_str(), 5000, 0, 0, 0), 1);
    auto after = rows();
    ASSERT_EQ(after.size(), 4u);
    for (const auto& id : ids)
        EXPECT_EQ(after[id] == before[id], id != ids[1]) << id;
    EXPECT_EQ(nlohmann::json::parse(after[ids[1]])["downloadLimit"], 5000);

    ASSERT_EQ(tb_remove(session.get(), ids[2].c_str(), 0), 1);
    auto added = session.addMagnet(magnet(9), addOptions(root / "dl", "paused=1"));
    ASSERT_FALSE(added.id.empty());
    auto last = rows();
    EXPECT_EQ(last.size(), 4u);
    EXPECT_FALSE(last.contains(ids[2]));
    EXPECT_TRUE(last.contains(added.id));
    EXPECT_EQ(last[ids[0]], before[ids[0]]);
    EXPECT_EQ(last[ids[1]], after[ids[1]]);
}

// Between the whole reports, a report holds what the library's state
// updates say changed: a change made just before shows in the next report.
TEST(Session, AChangeShowsInTheNextReport) {
    TempDir root;
    BridgeSession session{root / "state"};
    std::vector<std::string> ids;
    for (int i = 0; i < 3; ++i) {
        char hex[41];
        std::snprintf(hex, sizeof hex, "%040x", i + 0x999);
        auto added = session.addMagnet(std::string("magnet:?xt=urn:btih:") + hex,
                                       addOptions(root / "dl", "paused=1"));
        ASSERT_FALSE(added.id.empty()) << added.error;
        ids.push_back(added.id);
    }
    auto paused = [&](const std::string& id) {
        auto report = nlohmann::json::parse(BridgeString(tb_status_json(session.get())).view());
        for (const auto& row : report["torrents"])
            if (row["id"] == id)
                return row["paused"].get<bool>();
        ADD_FAILURE() << id << " not reported";
        return false;
    };
    EXPECT_TRUE(paused(ids[0]));
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(tb_action(session.get(), ids[1].c_str(), "resume"), 1);
        EXPECT_FALSE(paused(ids[1])) << round;
        ASSERT_EQ(tb_action(session.get(), ids[1].c_str(), "pause"), 1);
        EXPECT_TRUE(paused(ids[1])) << round;
    }
    EXPECT_TRUE(paused(ids[0]));
    EXPECT_TRUE(paused(ids[2]));

    // Asked by number, the same report again is no text at all; after that,
    // a report holds only the rows changed or gone since that number.
    std::uint64_t revision = 0;
    BridgeString first(tb_status_json_since(session.get(), &revision));
    ASSERT_NE(first.get(), nullptr);
    EXPECT_EQ(first.str(), BridgeString(tb_status_json(session.get())).str());
    EXPECT_EQ(BridgeString(tb_status_json_since(session.get(), &revision)).get(), nullptr);
    const std::uint64_t seen = revision;
    ASSERT_EQ(tb_set_limits(session.get(), ids[2].c_str(), 2048, 0, 0, 0), 1);
    BridgeString changed(tb_status_json_since(session.get(), &revision));
    ASSERT_NE(changed.get(), nullptr);
    auto delta = nlohmann::json::parse(changed.view());
    EXPECT_EQ(delta["since"], seen);
    ASSERT_EQ(delta["torrents"].size(), 1u);
    EXPECT_EQ(delta["torrents"][0]["id"], ids[2]);
    EXPECT_EQ(delta["torrents"][0]["downloadLimit"], 2048);
    EXPECT_TRUE(delta["removed"].empty());

    const std::uint64_t beforeRemoval = revision;
    ASSERT_EQ(tb_remove(session.get(), ids[0].c_str(), 0), 1);
    BridgeString gone(tb_status_json_since(session.get(), &revision));
    ASSERT_NE(gone.get(), nullptr);
    delta = nlohmann::json::parse(gone.view());
    EXPECT_EQ(delta["since"], beforeRemoval);
    for (const auto& row : delta["torrents"]) // the others move up the queue
        EXPECT_NE(row["id"], ids[0]);
    EXPECT_EQ(delta["removed"], nlohmann::json::array({ids[0]}));

    // A caller the changes were not kept for is given every row.
    std::uint64_t fresh = 0;
    BridgeString whole(tb_status_json_since(session.get(), &fresh));
    EXPECT_EQ(whole.str(), BridgeString(tb_status_json(session.get())).str());
    EXPECT_EQ(nlohmann::json::parse(whole.view())["torrents"].size(), 2u);
    std::uint64_t behind = seen;
    BridgeString again(tb_status_json_since(session.get(), &behind));
    EXPECT_EQ(again.str(), whole.str());
}

// A magnet link of info-hash n, added with `options`; its id.
std::string addNumbered(BridgeSession& session, const TempDir& root, int n, const char* options) {
    char hex[41];
    std::snprintf(hex, sizeof hex, "%040x", n);
    auto added = session.addMagnet(std::string("magnet:?xt=urn:btih:") + hex,
                                   addOptions(root / "dl", options));
    EXPECT_FALSE(added.id.empty()) << added.error;
    return added.id;
}

// A running torrent's counted time reaches the report though nothing else
// about it changes; a paused one, asked about by no minute, keeps its row.
TEST(Session, ARunningTorrentsTimeCountsUpInTheReportAndAPausedOneStaysAsItWas) {
    TempDir root;
    BridgeSession session{root / "state"};
    const std::string running = addNumbered(session, root, 0x5151, "");
    const std::string paused = addNumbered(session, root, 0x5252, "paused=1");
    auto rows = [&] {
        std::map<std::string, nlohmann::json> out;
        auto report = nlohmann::json::parse(BridgeString(tb_status_json(session.get())).view());
        for (auto& row : report["torrents"])
            out[row["id"].get<std::string>()] = row;
        return out;
    };
    const nlohmann::json pausedRow = rows()[paused];
    EXPECT_EQ(pausedRow["activeTime"], 0);
    // Polled once a second as the engine does, for a little over a minute.
    std::int64_t counted = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(70);
    while (std::chrono::steady_clock::now() < until && counted < 60) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        auto now = rows();
        counted = now[running]["activeTime"].get<std::int64_t>();
        EXPECT_EQ(now[paused], pausedRow);
    }
    EXPECT_GE(counted, 60);
}

// The minute's save writes the torrents that changed since the last one (a
// running torrent's counters move every second) and leaves the others be,
// whether or not reports were asked for in between.
TEST(Session, TheMinutesSaveWritesWhatChangedSinceTheLastOne) {
    TempDir root;
    BridgeSession session{root / "state"};
    const std::string running = addNumbered(session, root, 0x6161, "");
    const std::string paused = addNumbered(session, root, 0x6262, "paused=1");
    auto resume = [&](const std::string& id) {
        auto path = root / "state" / "resume" / (id + ".resume");
        return std::filesystem::exists(path) ? readAll(path) : std::string();
    };
    ASSERT_TRUE(
        swarm::waitUntil([&] { return !resume(running).empty() && !resume(paused).empty(); }, 10s));
    // The file written at the add holds less than the torrent once set up.
    const std::string added = resume(paused);
    tb_save_state(session.get());
    ASSERT_TRUE(swarm::waitUntil([&] { return resume(paused) != added; }, 10s));
    for (bool polled : {true, false}) {
        std::string wasRunning = resume(running);
        const std::string wasPaused = resume(paused);
        // Two seconds or more: the counted time in the file moves.
        for (int i = 0; i < 3; ++i) {
            std::this_thread::sleep_for(1s);
            if (polled)
                BridgeString(tb_status_json(session.get()));
        }
        tb_save_state(session.get());
        EXPECT_TRUE(swarm::waitUntil([&] { return resume(running) != wasRunning; }, 10s))
            << "polled " << polled;
        EXPECT_EQ(resume(paused), wasPaused) << "polled " << polled;
    }
}

} // namespace
} // namespace tevro::test
