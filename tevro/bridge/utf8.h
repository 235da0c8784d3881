#pragma once

// UTF-8 checks by RFC 3629: no overlong forms, no surrogates, nothing above U+10FFFF.
// Texts from foreign torrents and peers are repaired before they reach any JSON.

#include <cstddef>
#include <string>
#include <string_view>

namespace tevro::bridge {

// Length (1 to 4) of the well-formed sequence that starts `text`, or 0 when
// its first byte does not start one.
std::size_t utf8SequenceLength(std::string_view text);

bool isValidUtf8(std::string_view text);

// Copies `text`, writing U+FFFD for each byte that does not start a
// well-formed sequence; only that byte is consumed.
std::string repairUtf8(std::string_view text);

} // namespace tevro::bridge
