#include "tevro/bridge/settings_text.h"

#include <gtest/gtest.h>

namespace tevro::bridge {
namespace {

using sp = lt::settings_pack;

TEST(SettingsText, ConvertsByTheSettingsOwnType) {
    SettingsText t = SettingsText::parse("user_agent=a=b\n"
                                         "  connections_limit=12kb\n"
                                         "active_downloads=abc\n"
                                         "enable_dht=true\n"
                                         "enable_lsd=1\n"
                                         "enable_upnp=yes\n"
                                         "enable_natpmp=TRUE\n"
                                         "announce_to_all_tiers=0\n"
                                         "no_such_setting=5\n"
                                         "no equals sign here");
    const sp& p = t.pack();
    EXPECT_EQ(p.get_str(sp::user_agent), "a=b");
    EXPECT_EQ(p.get_int(sp::connections_limit), 12);
    EXPECT_EQ(p.get_int(sp::active_downloads), 0);
    EXPECT_TRUE(p.get_bool(sp::enable_dht));
    EXPECT_TRUE(p.get_bool(sp::enable_lsd));
    EXPECT_FALSE(p.get_bool(sp::enable_upnp));
    EXPECT_FALSE(p.get_bool(sp::enable_natpmp));
    EXPECT_FALSE(p.get_bool(sp::announce_to_all_tiers));
    EXPECT_EQ(t.named().size(), 8u);
}

TEST(SettingsText, PresetsCanBeOverriddenButTheAlertMaskCannot) {
    SettingsText plain = SettingsText::parse(nullptr);
    EXPECT_EQ(plain.pack().get_int(sp::hashing_threads), 16);
    EXPECT_EQ(plain.pack().get_int(sp::checking_mem_usage), 16384);
    EXPECT_EQ(plain.pack().get_int(sp::initial_picker_threshold), 0);
    EXPECT_EQ(plain.pack().get_int(sp::alert_mask), SettingsText::kAlertMask);

    SettingsText t =
        SettingsText::parse("hashing_threads=4\ninitial_picker_threshold=4\nalert_mask=1\n");
    EXPECT_EQ(t.pack().get_int(sp::hashing_threads), 4);
    EXPECT_EQ(t.pack().get_int(sp::initial_picker_threshold), 4);
    EXPECT_EQ(t.pack().get_int(sp::alert_mask), 0x40004D);
}

TEST(SettingsText, LaterLinesWinAndKeysAndLineEndsAreTrimmed) {
    SettingsText t = SettingsText::parse("user_agent=first\n\t user_agent \t= second \n");
    EXPECT_EQ(t.pack().get_str(sp::user_agent), " second");
}

TEST(SettingsText, RefusesOnlyACarriageReturnInsideAValue) {
    // A CR inside a value would smuggle text past the line rules; it is
    // dropped. At the end of a line (a CRLF text) it is no part of the value.
    SettingsText t = SettingsText::parse("proxy_hostname=host\rlisten_interfaces=0.0.0.0:1\n"
                                         "user_agent=ok\r\n"
                                         "enable_dht=1\r \r\n"
                                         "proxy_port=8080\r");
    EXPECT_FALSE(t.pack().has_val(sp::proxy_hostname));
    EXPECT_FALSE(t.pack().has_val(sp::listen_interfaces));
    EXPECT_EQ(t.pack().get_str(sp::user_agent), "ok");
    EXPECT_TRUE(t.pack().get_bool(sp::enable_dht));
    EXPECT_EQ(t.pack().get_int(sp::proxy_port), 8080);
}

TEST(SettingsText, OmittedKeysGoBackToTheLibraryDefaults) {
    SettingsText first = SettingsText::parse("request_queue_time=5\nmax_failcount=8\n"
                                             "proxy_hostname=p\nhashing_threads=2\n"
                                             "announce_to_all_trackers=1");
    SettingsText second = SettingsText::parse("max_failcount=9");
    second.resetOmitted(first.named());
    const sp defaults = lt::default_settings();
    const sp& p = second.pack();
    EXPECT_EQ(p.get_int(sp::max_failcount), 9);
    EXPECT_EQ(p.get_int(sp::request_queue_time), defaults.get_int(sp::request_queue_time));
    EXPECT_EQ(p.get_str(sp::proxy_hostname), defaults.get_str(sp::proxy_hostname));
    EXPECT_EQ(p.get_bool(sp::announce_to_all_trackers),
              defaults.get_bool(sp::announce_to_all_trackers));
    // The preset, not the library default, is what a fresh session would get.
    EXPECT_EQ(p.get_int(sp::hashing_threads), 16);
}

} // namespace
} // namespace tevro::bridge
