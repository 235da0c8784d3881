#pragma once

// Line splitting for lists typed by users or fetched from the web.

#include <string>
#include <string_view>
#include <vector>

namespace tevro {

// Splits UTF-8 text at every line break (LF, VT, FF, CR, U+0085, U+2028,
// U+2029), trims tabs and Unicode space separators from both ends of each
// line and drops the lines that are then empty.
std::vector<std::string> splitTrimmedLines(std::string_view text);

} // namespace tevro
