#pragma once

// Small text operations on UTF-8 file names and paths that the media logic
// shares: path pieces, extensions, Unicode case mapping and trimming.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tevro::MediaText {

// The text after the last "/" (the whole path when it has none); trailing
// slashes are ignored.
std::string_view lastComponent(std::string_view path);

// The path up to its last "/", empty for a path with none.
std::string_view parentFolder(std::string_view path);

// The pieces between "/", empty pieces dropped: "a//b/" gives "a" and "b".
std::vector<std::string_view> components(std::string_view path);

// The extension as written, without its dot; empty when the name has none
// (a name that only starts with a dot is hidden, not an extension).
std::string_view extension(std::string_view name);

// The name without its extension and dot.
std::string_view stem(std::string_view name);

// Unicode lower and upper case, locale-independent.
std::string lowerCased(std::string_view text);
std::string upperCased(std::string_view text);

// Removes every leading and trailing byte found in `chars` (ASCII only).
std::string_view trim(std::string_view text, std::string_view chars);

// Unicode code points in UTF-8 text.
std::size_t characterCount(std::string_view text);

// The text without its first `n` code points.
std::string_view dropCharacters(std::string_view text, std::size_t n);

// Splits at every byte found in `separators` (ASCII only), dropping empty pieces.
std::vector<std::string_view> split(std::string_view text, std::string_view separators);

} // namespace tevro::MediaText
