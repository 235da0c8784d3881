#include "quorvel-kit/statistics/channel.h"

#include <array>
#include <utility>

namespace quorvel {

namespace {
constexpr std::array<std::pair<Channel, std::string_view>, 5> kRaw{{
    {Channel::appStore, "app-store"},
    {Channel::testflight, "testflight"},
    {Channel::direct, "direct"},
    {Channel::debug, "debug"},
    {Channel::test, "test"},
}};
} // namespace

std::string_view rawValue(Channel channel) {
    for (const auto& [c, raw] : kRaw)
        if (c == channel)
            return raw;
    return "direct";
}

std::optional<Channel> channelFromRaw(std::string_view raw) {
    for (const auto& [c, r] : kRaw)
        if (r == raw)
            return c;
    return std::nullopt;
}

} // namespace quorvel
