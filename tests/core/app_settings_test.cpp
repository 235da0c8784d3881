#include "tevro/core/app_settings.h"

#include <gtest/gtest.h>

#include "tests/support/fake_machine.h"

using namespace tevro;

TEST(AppSettings, DefaultsFollowTheMachine) {
    test::ScopedFakeMachine m;
    m->nextRandom = 1234;
    AppSettings s;
    EXPECT_EQ(s.downloadDirectory, "/home/tester/Downloads/Tevro");
    EXPECT_EQ(s.listenPort, 21234);
    EXPECT_EQ(s.profile, NetworkProfile::standard);
    EXPECT_EQ(s.encryption, EncryptionMode::prefer); // not lowered to "allow"
    EXPECT_FALSE(s.banLeechers);
    EXPECT_EQ(s.activeDownloads, 5);
    EXPECT_EQ(s.activeSeeds, 10);
    EXPECT_EQ(s.altDownloadLimitKiB, 1024);
    EXPECT_EQ(s.altUploadLimitKiB, 128);
    EXPECT_EQ(s.maxConnectionsPerTorrent, 120);
    EXPECT_EQ(s.uploadSlotsPerTorrent, 8);
    EXPECT_EQ(s.proxyPort, 1080);
    EXPECT_EQ(s.audioLanguages, "rus, ru");
    EXPECT_EQ(s.subtitleMode, SubtitleMode::autoMode);
    EXPECT_TRUE(s.upnp && s.ipv6 && s.utp && s.dht && s.lsd && s.trackerMirrors && s.autoTrackers &&
                s.proxyTrackersOnly && s.rememberTracks && s.resumePlayback && s.autoplayNext &&
                s.hardwareDecoding);

    m->nextRandom = 40000;
    EXPECT_EQ(AppSettings().listenPort, 60000);

    m->region = "CN";
    AppSettings china;
    EXPECT_EQ(china.profile, NetworkProfile::china);
    EXPECT_TRUE(china.banLeechers);
}

TEST(AppSettings, TolerantDecodeKeepsTheDefaultPerKey) {
    test::ScopedFakeMachine m;
    m->nextRandom = 7;
    const AppSettings defaults;
    struct Case {
        const char* json;
        std::function<bool(const AppSettings&)> check;
    } cases[] = {
        {R"({})", [&](auto& s) { return s == defaults; }},
        {R"({"encryption":"none"})",
         [](auto& s) { return s.encryption == EncryptionMode::prefer; }},
        {R"({"encryption":"require"})",
         [](auto& s) { return s.encryption == EncryptionMode::require; }},
        {R"({"listenPort":"20000"})", [](auto& s) { return s.listenPort == 20007; }},
        {R"({"listenPort":null})", [](auto& s) { return s.listenPort == 20007; }},
        {R"({"listenPort":31000})", [](auto& s) { return s.listenPort == 31000; }},
        {R"({"fetchedTrackers":"x"})", [](auto& s) { return s.fetchedTrackers.empty(); }},
        {R"({"fetchedTrackers":["a",1]})", [](auto& s) { return s.fetchedTrackers.empty(); }},
        {R"({"trackersFetchedAt":"yesterday"})", [](auto& s) { return !s.trackersFetchedAt; }},
        // Numbers no field can hold are malformed, not cast.
        {R"({"trackersFetchedAt":1e14})", [](auto& s) { return !s.trackersFetchedAt; }},
        {R"({"trackersFetchedAt":-1e300})", [](auto& s) { return !s.trackersFetchedAt; }},
        {R"({"trackersFetchedAt":9e9})", [](auto& s) { return !s.trackersFetchedAt; }},
        {R"({"trackersFetchedAt":8e9})", [](auto& s) { return bool(s.trackersFetchedAt); }},
        {R"({"listenPort":1e300})", [](auto& s) { return s.listenPort == 20007; }},
        {R"({"listenPort":-1e19})", [](auto& s) { return s.listenPort == 20007; }},
        {R"({"listenPort":31000.0})", [](auto& s) { return s.listenPort == 31000; }},
        {R"({"subtitleMode":"Auto"})",
         [](auto& s) { return s.subtitleMode == SubtitleMode::autoMode; }},
        {R"({"subtitleMode":"never"})",
         [](auto& s) { return s.subtitleMode == SubtitleMode::never; }},
        {R"({"profile":"russia","dht":false})",
         [](auto& s) { return s.profile == NetworkProfile::russia && !s.dht; }},
        {R"({"addPaused":1})", [](auto& s) { return !s.addPaused; }},
        {R"({"ratioLimit":2})", [](auto& s) { return s.ratioLimit == 2.0; }},
        {R"({"maxConnections":-5})", [](auto& s) { return s.maxConnections == -5; }},
        // A line break would inject lines into the bridge's texts.
        {R"({"proxyHost":"h\nenable_dht=1"})", [](auto& s) { return s.proxyHost.empty(); }},
        {R"({"proxyPassword":"p\r"})", [](auto& s) { return s.proxyPassword.empty(); }},
        {R"({"proxyUser":"bob"})", [](auto& s) { return s.proxyUser == "bob"; }},
    };
    for (const auto& c : cases) {
        auto decoded = AppSettings::decode(Json::parse(c.json));
        ASSERT_TRUE(decoded) << c.json;
        EXPECT_TRUE(c.check(*decoded)) << c.json;
    }
    EXPECT_FALSE(AppSettings::decode(Json::parse("[1,2]")));
    EXPECT_FALSE(AppSettings::decode(Json::parse("\"x\"")));
}

TEST(AppSettings, DefaultsComeBeforeTheFile) {
    test::ScopedFakeMachine m;
    m->region = "CN";
    auto s = AppSettings::decode(Json::parse(R"({"profile":"standard"})"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->profile, NetworkProfile::standard);
    EXPECT_TRUE(s->banLeechers);
}

TEST(AppSettings, EncodeDecodeRoundTrip) {
    test::ScopedFakeMachine m;
    AppSettings s;
    s.downloadDirectory = "/data/Торренты";
    s.ratioLimit = 1.5;
    s.profile = NetworkProfile::china;
    s.encryption = EncryptionMode::require;
    s.proxyKind = ProxyKind::socks5;
    s.proxyHost = "proxy.local";
    s.fetchedTrackers = {"udp://b/announce", "udp://a/announce"};
    s.trackersFetchedAt = fromReferenceSeconds(700000000.5);
    s.subtitleMode = SubtitleMode::always;
    Json j = s.encode();
    EXPECT_EQ(j.size(), 41u);
    EXPECT_EQ(j["subtitleMode"], "always");
    EXPECT_DOUBLE_EQ(j["trackersFetchedAt"].get<double>(), 700000000.5);
    auto back = AppSettings::decode(j);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, s);

    s.trackersFetchedAt.reset();
    EXPECT_EQ(s.encode().size(), 40u);

    AppSettings reordered = *back;
    std::swap(reordered.fetchedTrackers[0], reordered.fetchedTrackers[1]);
    EXPECT_NE(reordered, *back);
}

TEST(AppSettings, Split) {
    using V = std::vector<std::string>;
    EXPECT_EQ(AppSettings::split("rus, ru"), (V{"rus", "ru"}));
    EXPECT_EQ(AppSettings::split("RUS,,En  de"), (V{"rus", "en", "de"}));
    EXPECT_EQ(AppSettings::split(""), V{});
    EXPECT_EQ(AppSettings::split(" , "), V{});
    EXPECT_EQ(AppSettings::split("en,en"), (V{"en", "en"}));
}

TEST(AppSettings, ValidationRefusesLineBreaks) {
    test::ScopedFakeMachine m;
    AppSettings s;
    EXPECT_FALSE(s.validationError());
    for (std::string AppSettings::*field :
         {&AppSettings::proxyHost, &AppSettings::proxyUser, &AppSettings::proxyPassword,
          &AppSettings::downloadDirectory}) {
        AppSettings bad = s;
        bad.*field = "x\ny";
        ASSERT_TRUE(bad.validationError());
        EXPECT_NE(bad.validationError()->find("перевод строки"), std::string::npos);
        bad.*field = "x\ry";
        EXPECT_TRUE(bad.validationError());
    }
}

TEST(NetworkProfile, Detection) {
    struct Case {
        const char* region;
        const char* zone;
        NetworkProfile expected;
    } cases[] = {
        {"RU", "Asia/Shanghai", NetworkProfile::china},
        {"CN", "Europe/Moscow", NetworkProfile::china},
        {"US", "Asia/Urumqi", NetworkProfile::china},
        {"US", "Europe/Moscow", NetworkProfile::russia},
        {"", "Asia/Omsk", NetworkProfile::russia},
        {"DE", "Asia/Irkutsk", NetworkProfile::russia},
        {"RU", "America/New_York", NetworkProfile::russia},
        {"HK", "Asia/Hong_Kong", NetworkProfile::standard},
        {"", "", NetworkProfile::standard},
        {"US", "Asia/Shanghai2", NetworkProfile::standard}, // China zones compare whole
    };
    for (const auto& c : cases)
        EXPECT_EQ(detectNetworkProfile(c.region, c.zone), c.expected) << c.region << " " << c.zone;
    EXPECT_EQ(networkProfileFromRaw("china"), NetworkProfile::china);
    EXPECT_EQ(networkProfileFromRaw("China"), std::nullopt);
}

TEST(NetworkProfile, AdoptKeepsEarlierTrues) {
    test::ScopedFakeMachine m;
    AppSettings s;
    s.ipv6 = false;
    s.fetchedTrackers = {"udp://x/announce"};
    s.trackersFetchedAt = std::chrono::system_clock::now();
    s.adopt(NetworkProfile::china);
    EXPECT_TRUE(s.banLeechers && s.ipv6);
    EXPECT_TRUE(s.fetchedTrackers.empty());
    EXPECT_FALSE(s.trackersFetchedAt);
    s.adopt(NetworkProfile::standard);
    EXPECT_EQ(s.encryption, EncryptionMode::allow);
    EXPECT_TRUE(s.banLeechers && s.ipv6);
}

TEST(NetworkProfile, TrackerSourcesAndLists) {
    auto standard = trackerSources(NetworkProfile::standard);
    auto china = trackerSources(NetworkProfile::china);
    ASSERT_EQ(standard.size(), 7u);
    ASSERT_EQ(china.size(), 7u);
    EXPECT_TRUE(standard[0].ends_with("/trackers_best.txt"));
    EXPECT_TRUE(standard[3].ends_with("/best.txt"));
    EXPECT_TRUE(china[0].ends_with("/best.txt"));
    EXPECT_TRUE(china[4].ends_with("/trackers_best.txt"));

    ASSERT_EQ(trackers::kFallbackPublic.size(), 7u);
    const char* ports[] = {":1337/", ":1337/", ":80/", ":6969/", ":451/", ":6969/", ":6969/"};
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_TRUE(trackers::kFallbackPublic[i].starts_with("udp://"));
        EXPECT_NE(trackers::kFallbackPublic[i].find(ports[i]), std::string::npos);
    }
    ASSERT_EQ(trackers::kAlwaysAdded.size(), 3u);
    EXPECT_EQ(AppSettings::leecherClients.size(), 11u);
    EXPECT_EQ(AppSettings::leecherClients.front(), "-XL");
    EXPECT_EQ(AppSettings::leecherClients.back(), "Baidu");
}

TEST(NetworkProfile, ExtraTrackers) {
    test::ScopedFakeMachine m;
    AppSettings s;
    s.profile = NetworkProfile::russia;
    s.customTrackers = "udp://mine:1/announce\n\n" + trackers::kAlwaysAdded[1] + "\r\n";
    auto list = s.extraTrackers();
    // Custom lines, retracker, 7 fallbacks, 3 always-added minus the duplicate.
    ASSERT_EQ(list.size(), 2u + 1 + 7 + 2);
    EXPECT_EQ(list[0], "udp://mine:1/announce");
    EXPECT_EQ(list[1], trackers::kAlwaysAdded[1]);
    EXPECT_EQ(list[2], trackers::kLocalRetracker);
    EXPECT_EQ(list.back(), trackers::kAlwaysAdded[2]);

    s.fetchedTrackers = {"udp://fetched/announce"};
    s.profile = NetworkProfile::standard;
    list = s.extraTrackers();
    EXPECT_EQ(list.size(), 2u + 1 + 2);
    EXPECT_EQ(list[2], "udp://fetched/announce");

    s.autoTrackers = false;
    s.customTrackers = " \u00A0 udp://one:2/announce\t \u2028\n\n";
    EXPECT_EQ(s.extraTrackers(), std::vector<std::string>{"udp://one:2/announce"});
    s.customTrackers = "";
    EXPECT_TRUE(s.extraTrackers().empty());
}
