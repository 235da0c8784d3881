#include <gtest/gtest.h>

#include "tevro/core/peer_info.h"
#include "tevro/core/status_snapshot.h"
#include "tevro/core/torrent_event.h"
#include "tevro/core/torrent_file.h"
#include "tevro/core/torrent_preview.h"
#include "tevro/core/tracker_info.h"

using namespace tevro;

namespace {

// A status text in the bridge's compact form, one torrent, every key.
const char* kTorrent =
    R"({"id":"0123456789abcdef0123456789abcdef01234567","name":"Сериал S01","state":"downloading",)"
    R"("paused":false,"autoManaged":true,"sequential":false,"private":false,"hasMetadata":true,)"
    R"("finished":false,"seeding":false,"moving":false,"progress":0.25,"total":4000,)"
    R"("totalDone":1000,"wanted":2000,"wantedDone":500,"downloadRate":1048576,"uploadRate":1024,)"
    R"("peers":3,"seeds":2,"swarmPeers":-1,"swarmSeeds":10,"connectCandidates":7,"uploaded":1,)"
    R"("downloaded":2,"added":1700000000,"completed":0,"activeTime":60,"seedingTime":0,)"
    R"("downloadLimit":0,"uploadLimit":-1,"connectionsLimit":120,"uploadsLimit":8,"queue":0,)"
    R"("pieces":1,"availability":1.5,"savePath":"/tmp/x","tracker":"","error":""})";

std::string statusText(const std::string& torrent) {
    return R"({"session":{"download":1048576,"upload":1024,"dhtNodes":0,"incoming":false,)"
           R"("externalIP":"","portmap":"UPnP 6881","banned":2,"listening":["TCP 127.0.0.1:6881"],)"
           R"("listenErrors":[]},"torrents":[)" +
           torrent + "]}";
}

TorrentStatus sampleRow() {
    return StatusSnapshot::decode(statusText(kTorrent))->torrents[0];
}

} // namespace

TEST(StatusSnapshot, DecodesTheBridgeText) {
    auto snap = StatusSnapshot::decode(statusText(kTorrent));
    ASSERT_TRUE(snap) << snap.error();
    EXPECT_EQ(snap->session.portmap, "UPnP 6881");
    EXPECT_EQ(snap->session.listening, std::vector<std::string>{"TCP 127.0.0.1:6881"});
    ASSERT_EQ(snap->torrents.size(), 1u);
    const TorrentStatus& t = snap->torrents[0];
    EXPECT_EQ(t.name, "Сериал S01");
    EXPECT_EQ(t.downloadRate, 1048576);
    EXPECT_EQ(t.swarmPeers, -1);
    EXPECT_FALSE(t.checkingRate);
    EXPECT_DOUBLE_EQ(t.displayProgress(), 0.25);

    // Encoding leaves out the absent checking rate and decodes back equal.
    Json j = t;
    EXPECT_FALSE(j.contains("checkingRate"));
    EXPECT_TRUE(j.contains("private"));
    EXPECT_EQ(j.get<TorrentStatus>(), t);
}

TEST(StatusSnapshot, OneBadKeyFailsTheWholeSnapshot) {
    std::string extra = std::string(kTorrent);
    extra.insert(1, R"("future":1,)");
    EXPECT_TRUE(StatusSnapshot::decode(statusText(extra)));

    const std::pair<std::string, std::string> breakages[] = {
        {R"("seedingTime":0,)", ""},               // missing key
        {R"("paused":false)", R"("paused":null)"}, // null
        {R"("peers":3)", R"("peers":"3")"},        // string for integer
        {R"("peers":3)", R"("peers":3.5)"},        // non-integral number
        {R"("private":false)", R"("private":0)"},  // number for bool
    };
    for (const auto& [from, to] : breakages) {
        std::string broken = kTorrent;
        broken.replace(broken.find(from), from.size(), to);
        std::string two = std::string(kTorrent) + "," + broken;
        EXPECT_FALSE(StatusSnapshot::decode(statusText(two))) << from << " -> " << to;
    }
    EXPECT_FALSE(StatusSnapshot::decode("[]"));
    EXPECT_FALSE(StatusSnapshot::decode("not json"));
}

TEST(TorrentStatus, DisplayProgress) {
    struct Case {
        std::string state;
        std::int64_t wanted, wantedDone;
        bool hasMetadata;
        double progress, expected;
    } cases[] = {
        {"downloading", 0, 0, true, 0.3, 1.0},     {"downloading", 0, 0, false, 0.3, 0.0},
        {"downloading", 200, 50, true, 0.9, 0.25}, {"checking", 200, 200, true, 0.4, 0.4},
        {"checking", 200, 0, true, 1.2, 1.0},      {"checking", 200, 0, true, -0.5, 0.0},
        {"seeding", 100, 150, true, 1, 1.0},
    };
    for (const auto& c : cases) {
        TorrentStatus t = sampleRow();
        t.state = c.state;
        t.wanted = c.wanted;
        t.wantedDone = c.wantedDone;
        t.hasMetadata = c.hasMetadata;
        t.progress = c.progress;
        EXPECT_DOUBLE_EQ(t.displayProgress(), c.expected) << c.state << " " << c.progress;
    }
}

TEST(TorrentStatus, CheckingEstimateAndSpeed) {
    TorrentStatus t = sampleRow();
    t.state = "checking";
    t.total = 1000;
    t.checkingRate = 100;
    t.progress = 0.25;
    ASSERT_TRUE(t.checkingETA());
    EXPECT_DOUBLE_EQ(*t.checkingETA(), 7.5);
    EXPECT_EQ(t.checkingSpeedText(), "100 байт/с");

    auto variant = [&](auto change) {
        TorrentStatus v = t;
        change(v);
        return v;
    };
    EXPECT_FALSE(variant([](auto& v) { v.progress = 1.0; }).checkingETA());
    EXPECT_FALSE(variant([](auto& v) { v.checkingRate = 0; }).checkingETA());
    EXPECT_FALSE(variant([](auto& v) { v.checkingRate.reset(); }).checkingETA());
    EXPECT_FALSE(variant([](auto& v) { v.paused = true; }).checkingETA());
    EXPECT_FALSE(variant([](auto& v) { v.total = 0; }).checkingETA());

    EXPECT_EQ(variant([](auto& v) { v.paused = true; }).checkingSpeedText(), "—");
    EXPECT_EQ(variant([](auto& v) { v.error = "x"; }).checkingSpeedText(), "—");
    EXPECT_EQ(variant([](auto& v) { v.checkingRate.reset(); }).checkingSpeedText(), "—");
    EXPECT_EQ(variant([](auto& v) { v.state = "seeding"; }).checkingSpeedText(), "—");
    EXPECT_EQ(variant([](auto& v) { v.checkingRate = -5; }).checkingSpeedText(), "0 байт/с");

    EXPECT_NE(variant([](auto& v) { v.checkingRate = 101; }), t);
}

TEST(Records, FilesPeersTrackersEvents) {
    auto files = json::decodeArray<TorrentFile>(
        R"([{"i":0,"path":"Show/e01.mkv","size":10,"done":5,"prio":4,"pad":false,"first":0,"last":1},)"
        R"({"i":1,"path":".pad/0","size":6,"done":0,"prio":0,"pad":true,"first":1,"last":1}])");
    ASSERT_TRUE(files);
    EXPECT_EQ((*files)[1].pad, true);
    EXPECT_FALSE(json::decodeArray<TorrentFile>(
        R"([{"i":0,"path":"a","size":1,"done":0,"prio":4,"pad":false,"first":0}])"));

    auto peers = json::decodeArray<PeerInfo>(
        R"([{"ip":"10.0.0.5","port":6881,"client":"qB","flags":"EU","source":"tracker pex",)"
        R"("progress":0.5,"downloadRate":1,"uploadRate":2,"downloaded":3,"uploaded":4,"rttMs":20,)"
        R"("outstandingRequests":1,"targetRequests":2,"timedOutRequests":0,"pendingDiskBytes":0,)"
        R"("remoteChoked":false,"waitingForDisk":false,"waitingForNetwork":true,)"
        R"("waitingForRateLimit":false}])");
    ASSERT_TRUE(peers);
    EXPECT_EQ((*peers)[0].id(), "10.0.0.5:6881");
    Json encoded = (*peers)[0];
    EXPECT_EQ(encoded.size(), 10u);
    PeerInfo other = (*peers)[0];
    other.port = 6882;
    EXPECT_NE(other.id(), (*peers)[0].id());

    auto trackers = json::decodeArray<TrackerInfo>(
        R"([{"url":"udp://t:1/announce","tier":99,"status":"idle","message":"","fails":0,)"
        R"("seeds":-1,"peers":-1,"downloaded":-1,"nextAnnounce":-1,"extra":false,"mirror":false}])");
    ASSERT_TRUE(trackers);
    EXPECT_FALSE((*trackers)[0].extra); // taken as written, not derived from the tier

    auto events = json::decodeArray<TorrentEvent>(
        R"([{"type":"metadata","id":"ab","name":"n","message":""}])");
    ASSERT_TRUE(events);
    EXPECT_EQ((*events)[0].type, "metadata");
    EXPECT_FALSE(json::decodeArray<TorrentEvent>(R"([{"type":"error","id":"","name":"n"}])"));
}

TEST(TorrentPreview, OptionalFieldsAndStrictFiles) {
    auto onlyError = json::decode<TorrentPreview>(R"({"error":"not a torrent"})");
    ASSERT_TRUE(onlyError);
    EXPECT_EQ(onlyError->error, "not a torrent");
    EXPECT_FALSE(onlyError->name || onlyError->files || onlyError->size);
    EXPECT_EQ(Json(*onlyError).dump(), R"({"error":"not a torrent"})");

    auto empty = json::decode<TorrentPreview>("{}");
    ASSERT_TRUE(empty);
    EXPECT_EQ(Json(*empty).dump(), "{}");

    auto full = json::decode<TorrentPreview>(
        R"({"id":"ab","name":"n","size":3,"pieceLength":16384,"pieces":1,"private":true,)"
        R"("comment":null,"creator":"x","trackers":["udp://a"],"files":[{"i":0,"path":"a","size":3,"pad":false}]})");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->pieceLength, 16384);
    EXPECT_FALSE(full->comment);
    ASSERT_TRUE(full->files);
    EXPECT_EQ(full->files->at(0).size, 3);

    EXPECT_FALSE(json::decode<TorrentPreview>(R"({"size":"3"})"));
    EXPECT_FALSE(json::decode<TorrentPreview>(R"({"files":[{"i":0,"path":"a","size":3}]})"));
}
