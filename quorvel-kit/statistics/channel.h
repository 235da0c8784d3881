#pragma once

// The distribution channel a copy of the application came through.

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

enum class Channel { appStore, testflight, direct, debug, test };

// "app-store", "testflight", "direct", "debug" or "test".
std::string_view rawValue(Channel channel);

// The channel whose raw value is `raw`; no value for any other text.
std::optional<Channel> channelFromRaw(std::string_view raw);

} // namespace quorvel
