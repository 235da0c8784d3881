#include "tevro/bridge/banned_clients.h"

#include <gtest/gtest.h>

namespace tevro::bridge {
namespace {

TEST(BannedClients, PeerIdPrefixesAndClientNames) {
    std::vector<std::string> patterns = {"-XL", "Mini"};
    struct {
        const char* client;
        const char* pid;
        bool banned;
    } cases[] = {
        {"Anything", "-XL0012-", true},    {"minibit 1.0", "-UT3550-", true},
        {"MINIBIT", "-UT3550-", true},     {"Transmission", "-TR4000-", false},
        {"Xunlei -XL", "-TR4000-", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BannedClients::matches(patterns, c.client, c.pid), c.banned) << c.client;
    EXPECT_FALSE(BannedClients::matches({}, "minibit", "-XL0012-"));
}

} // namespace
} // namespace tevro::bridge
