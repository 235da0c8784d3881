#include "tevro/core/app_settings.h"
#include "tevro/core/key_value_text.h"

#include <map>

#include <gtest/gtest.h>

#include "tests/support/fake_machine.h"

using namespace tevro;

namespace {

AppSettings standardSettings() {
    AppSettings s;
    s.listenPort = 20000;
    s.profile = NetworkProfile::standard;
    return s;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        out.push_back(text.substr(start, nl - start));
    out.push_back(text.substr(start));
    return out;
}

std::map<std::string, std::string> keys(const std::string& text) {
    std::map<std::string, std::string> out;
    for (auto& [k, v] : parseKeyValueText(text))
        out[k] = v;
    return out;
}

} // namespace

TEST(SettingsText, StandardDefaultsLineByLine) {
    test::ScopedFakeMachine m;
    std::string routers = "dht.libtorrent.org:25401,router.bittorrent.com:6881,"
                          "router.utorrent.com:6881,dht.transmissionbt.com:6881,"
                          "router.bitcomet.com:6881";
    std::vector<std::string> expected = {
        "active_checking=1",
        "active_downloads=5",
        "active_limit=20",
        "active_seeds=10",
        "allowed_enc_level=3",
        "announce_to_all_tiers=1",
        "announce_to_all_trackers=1",
        "connection_speed=30",
        "connections_limit=0",
        "dht_bootstrap_nodes=" + routers,
        "download_rate_limit=0",
        "enable_dht=1",
        "enable_incoming_utp=1",
        "enable_lsd=1",
        "enable_natpmp=1",
        "enable_outgoing_utp=1",
        "enable_upnp=1",
        "in_enc_policy=1",
        "listen_interfaces=0.0.0.0:20000,[::]:20000",
        "max_out_request_queue=500",
        "out_enc_policy=1",
        "peer_connect_timeout=15",
        "peer_timeout=120",
        "prefer_rc4=1",
        "proxy_type=0",
        "request_timeout=60",
        "send_buffer_watermark=1048576",
        "tracker_completion_timeout=30",
        "tracker_receive_timeout=10",
        "upload_rate_limit=0",
        "user_agent=Tevro/0.1 libtorrent/2.1",
        "validate_https_trackers=1",
    };
    std::string text = standardSettings().libtorrentSettings();
    EXPECT_EQ(lines(text), expected);
    EXPECT_NE(text.back(), '\n');
}

TEST(SettingsText, ProfilesAndRouters) {
    test::ScopedFakeMachine m;
    AppSettings s = standardSettings();
    const std::string extra = "dht.aelitis.com:6881";
    for (auto profile : {NetworkProfile::russia, NetworkProfile::china}) {
        s.profile = profile;
        std::string text = s.libtorrentSettings();
        auto l = lines(text);
        EXPECT_EQ(l.size(), 39u);
        EXPECT_EQ(l.front(), "active_checking=1");
        EXPECT_TRUE(std::is_sorted(l.begin(), l.end()));
        EXPECT_EQ(std::adjacent_find(l.begin(), l.end()), l.end());
        auto k = keys(text);
        std::string nodes = k["dht_bootstrap_nodes"];
        if (profile == NetworkProfile::russia) {
            EXPECT_TRUE(nodes.ends_with("," + extra));
            EXPECT_EQ(k["peer_timeout"], "180");
            EXPECT_EQ(k["send_buffer_watermark_factor"], "150");
            EXPECT_EQ(k["min_reconnect_time"], "30");
        } else {
            EXPECT_TRUE(nodes.starts_with(extra + ","));
            EXPECT_EQ(k["max_allowed_in_request_queue"], "3000");
            EXPECT_EQ(k["handshake_timeout"], "25");
            EXPECT_EQ(k["max_failcount"], "8");
        }
        EXPECT_EQ(std::count(nodes.begin(), nodes.end(), ','), 5);
    }
}

TEST(SettingsText, GeneratedValues) {
    test::ScopedFakeMachine m;
    struct Case {
        std::function<void(AppSettings&)> change;
        std::map<std::string, std::string> expected;
    } cases[] = {
        {[](auto& s) { s.listenPort = 80; }, {{"listen_interfaces", "0.0.0.0:1024,[::]:1024"}}},
        {[](auto& s) { s.listenPort = 70000, s.ipv6 = false; },
         {{"listen_interfaces", "0.0.0.0:65535"}}},
        {[](auto& s) { s.altSpeedEnabled = true; },
         {{"download_rate_limit", "1048576"}, {"upload_rate_limit", "131072"}}},
        {[](auto& s) { s.downloadLimitKiB = -4, s.uploadLimitKiB = 10; },
         {{"download_rate_limit", "0"}, {"upload_rate_limit", "10240"}}},
        // libtorrent holds rates in a 32-bit int.
        {[](auto& s) { s.downloadLimitKiB = 3'000'000, s.uploadLimitKiB = INT64_MAX; },
         {{"download_rate_limit", "2147483647"}, {"upload_rate_limit", "2147483647"}}},
        {[](auto& s) { s.downloadLimitKiB = 2097151; }, {{"download_rate_limit", "2147482624"}}},
        {[](auto& s) { s.activeDownloads = 30, s.activeSeeds = 40; }, {{"active_limit", "70"}}},
        {[](auto& s) { s.activeDownloads = INT64_MAX, s.activeSeeds = 1; },
         {{"active_limit", "9223372036854775807"}}},
        {[](auto& s) { s.maxConnections = -1; }, {{"connections_limit", "0"}}},
        {[](auto& s) { s.maxConnections = 5'000'000'000; }, {{"connections_limit", "2147483647"}}},
        {[](auto& s) { s.dht = false, s.utp = false, s.upnp = false; },
         {{"enable_dht", "0"},
          {"enable_outgoing_utp", "0"},
          {"enable_incoming_utp", "0"},
          {"enable_upnp", "0"},
          {"enable_natpmp", "0"}}},
        {[](auto& s) { s.encryption = EncryptionMode::allow; },
         {{"out_enc_policy", "1"},
          {"in_enc_policy", "1"},
          {"allowed_enc_level", "3"},
          {"prefer_rc4", "0"}}},
        {[](auto& s) { s.encryption = EncryptionMode::require; },
         {{"out_enc_policy", "0"},
          {"in_enc_policy", "0"},
          {"allowed_enc_level", "2"},
          {"prefer_rc4", "1"}}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        AppSettings s = standardSettings();
        cases[i].change(s);
        auto k = keys(s.libtorrentSettings());
        for (const auto& [key, value] : cases[i].expected)
            EXPECT_EQ(k[key], value) << "case " << i << " key " << key;
    }
}

TEST(SettingsText, Proxy) {
    test::ScopedFakeMachine m;
    AppSettings s = standardSettings();
    s.proxyKind = ProxyKind::http;
    s.proxyHost = "proxy.example";
    s.proxyPort = 99999;
    s.proxyUser = "bob";
    s.proxyPassword = "pa=ss word";
    s.proxyTrackersOnly = false;
    std::string text = s.libtorrentSettings();
    EXPECT_EQ(lines(text).size(), 39u);
    auto k = keys(text);
    EXPECT_EQ(k["proxy_type"], "5");
    EXPECT_EQ(k["proxy_hostname"], "proxy.example");
    EXPECT_EQ(k["proxy_port"], "99999");
    EXPECT_EQ(k["proxy_username"], "bob");
    EXPECT_EQ(k["proxy_password"], "pa=ss word");
    EXPECT_EQ(k["proxy_hostnames"], "1");
    EXPECT_EQ(k["proxy_tracker_connections"], "1");
    EXPECT_EQ(k["proxy_peer_connections"], "1");

    s.proxyKind = ProxyKind::socks5;
    s.proxyUser = "";
    s.proxyTrackersOnly = true;
    k = keys(s.libtorrentSettings());
    EXPECT_EQ(k["proxy_type"], "2");
    EXPECT_EQ(k["proxy_username"], "");
    EXPECT_EQ(k["proxy_peer_connections"], "0");
    s.proxyUser = "u";
    EXPECT_EQ(keys(s.libtorrentSettings())["proxy_type"], "3");
    s.proxyKind = ProxyKind::http;
    s.proxyUser = "";
    EXPECT_EQ(keys(s.libtorrentSettings())["proxy_type"], "4");
}

TEST(SettingsText, LineBreaksNeverReachTheText) {
    test::ScopedFakeMachine m;
    AppSettings s = standardSettings();
    s.proxyKind = ProxyKind::socks5;
    s.proxyHost = "evil\nenable_dht=0";
    s.proxyUser = "u\r\nlisten_interfaces=0.0.0.0:1";
    s.proxyPassword = "p\rq";
    std::string text = s.libtorrentSettings();
    EXPECT_EQ(text.find('\r'), std::string::npos);
    auto l = lines(text);
    EXPECT_EQ(l.size(), 39u);
    auto k = keys(text);
    EXPECT_EQ(k["enable_dht"], "1");
    EXPECT_EQ(k["listen_interfaces"], "0.0.0.0:20000,[::]:20000");
}

TEST(KeyValueText, ParseTrimsKeysAndTheEndsOfLines) {
    auto parsed =
        parseKeyValueText(" save_path = /a b \nnoequals\n=x\npaused=1\r\n\nk=v=w\r \r\nm=a\rb\r\n");
    ASSERT_EQ(parsed.size(), 4u);
    EXPECT_EQ(parsed[0], (std::pair<std::string, std::string>{"save_path", " /a b"}));
    EXPECT_EQ(parsed[1], (std::pair<std::string, std::string>{"paused", "1"}));
    EXPECT_EQ(parsed[2], (std::pair<std::string, std::string>{"k", "v=w"}));
    EXPECT_EQ(parsed[3], (std::pair<std::string, std::string>{"m", "a\rb"}));
    EXPECT_TRUE(isSafeTextValue("a b=c"));
    EXPECT_FALSE(isSafeTextValue("a\nb"));
    EXPECT_FALSE(isSafeTextValue("a\rb"));
}
