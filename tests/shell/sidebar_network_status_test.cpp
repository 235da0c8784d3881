#include "tevro/shell/sidebar_network_status.h"

#include <gtest/gtest.h>

using namespace tevro;

namespace {

TEST(SidebarNetworkStatus, TooltipListsPublicAddressesThenErrors) {
    struct Case {
        std::vector<std::string> listening;
        std::vector<std::string> errors;
        std::string summary;
    } cases[] = {
        {{"TCP 0.0.0.0:20000", "uTP 0.0.0.0:20000"}, {}, "0.0.0.0"},
        {{"TCP 127.0.0.1:20000", "TCP ::1:20000", "TCP fe80::1%eth0:20000", "uTP 198.18.0.1:20000",
          "TCP [::1]:20000"},
         {},
         "[::1]:20000"},
        {{"TCP 1.1.1.1:1", "TCP 2.2.2.2:1", "TCP 3.3.3.3:1", "TCP 4.4.4.4:1", "TCP 5.5.5.5:1",
          "TCP 6.6.6.6:1", "TCP 7.7.7.7:1", "TCP 8.8.8.8:1"},
         {"TCP 0.0.0.0:80: denied"},
         "1.1.1.1\n2.2.2.2\n3.3.3.3\n4.4.4.4\n5.5.5.5\n6.6.6.6\nTCP 0.0.0.0:80: denied"},
        {{"", "word"}, {}, "\nword"},
    };
    for (const auto& c : cases) {
        SessionInfo info;
        info.listening = c.listening;
        info.listenErrors = c.errors;
        EXPECT_EQ(SidebarNetworkStatus::listenSummary(info), c.summary);
    }
}

TEST(SidebarNetworkStatus, PortLineTakesTheFirstStateThatHolds) {
    SessionInfo info;
    EXPECT_EQ(SidebarNetworkStatus::portText(info, 80), "Порт 80");
    info.portmap = "UPnP";
    EXPECT_EQ(SidebarNetworkStatus::portText(info, 20000), "Порт 20000 · UPnP");
    info.incoming = true;
    EXPECT_EQ(SidebarNetworkStatus::portText(info, 20000), "Порт 20000 открыт");
    info.listenErrors = {"busy"};
    EXPECT_EQ(SidebarNetworkStatus::portText(info, 20000), "Порт 20000 занят");
}

} // namespace
