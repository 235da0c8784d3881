#pragma once

// The line-based "key=value" texts handed to the bridge (settings, add options).
// A value must never hold a line break: it would smuggle in lines of its own.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tevro {

using KeyValueLines = std::vector<std::pair<std::string, std::string>>;

// True when the value holds no LF or CR and may go into a text.
bool isSafeTextValue(std::string_view value);

// Joins the lines with "\n" (no trailing break). Line breaks inside a value are
// dropped as a last defence; callers refuse such values before they get here.
std::string joinKeyValueLines(const KeyValueLines& lines);

// Splits at "\n"; drops trailing carriage returns and spaces of each line;
// splits each line at its first "="; the key is trimmed of blanks, the value
// kept as it then is (a carriage return left inside it makes it unsafe).
// Lines without "=" or with an empty key are skipped.
KeyValueLines parseKeyValueText(std::string_view text);

} // namespace tevro
