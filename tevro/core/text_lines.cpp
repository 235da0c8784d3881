#include "tevro/core/text_lines.h"

#include <algorithm>

namespace tevro {

namespace {

// Unicode line breaks, as UTF-8: LF, VT, FF, CR, NEL, LS, PS.
size_t lineBreakAt(std::string_view s, size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\n' || c == '\v' || c == '\f' || c == '\r')
        return 1;
    if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x85)
        return 2;
    if (c == 0xE2 && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x80 &&
        (static_cast<unsigned char>(s[i + 2]) == 0xA8 ||
         static_cast<unsigned char>(s[i + 2]) == 0xA9))
        return 3;
    return 0;
}

// Length of a whitespace character at i (tab, space and Unicode space separators).
size_t spaceAt(std::string_view s, size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == ' ' || c == '\t')
        return 1;
    auto at = [&](size_t k) { return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0; };
    if (c == 0xC2 && at(1) == 0xA0)
        return 2;
    if (c == 0xE1 && at(1) == 0x9A && at(2) == 0x80)
        return 3; // U+1680
    if (c == 0xE2 && at(1) == 0x80 && (at(2) <= 0x8A || at(2) == 0xAF))
        return 3; // U+2000...U+200A, U+202F
    if (c == 0xE2 && at(1) == 0x81 && at(2) == 0x9F)
        return 3; // U+205F
    if (c == 0xE3 && at(1) == 0x80 && at(2) == 0x80)
        return 3; // U+3000
    return 0;
}

std::string trimSpaces(std::string_view s) {
    size_t b = 0;
    while (b < s.size()) {
        size_t n = spaceAt(s, b);
        if (!n)
            break;
        b += n;
    }
    size_t e = s.size();
    // Trim from the end by scanning whole characters forward.
    size_t lastNonSpaceEnd = b;
    for (size_t i = b; i < e;) {
        size_t n = spaceAt(s, i);
        if (n) {
            i += n;
        } else {
            unsigned char c = static_cast<unsigned char>(s[i]);
            size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            i = std::min(e, i + len);
            lastNonSpaceEnd = i;
        }
    }
    return std::string(s.substr(b, lastNonSpaceEnd - b));
}

} // namespace

std::vector<std::string> splitTrimmedLines(std::string_view text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t i = 0; i <= text.size();) {
        size_t br = i < text.size() ? lineBreakAt(text, i) : 1;
        if (!br) {
            ++i;
            continue;
        }
        std::string line = trimSpaces(text.substr(start, i - start));
        if (!line.empty())
            out.push_back(std::move(line));
        i += br;
        start = i;
    }
    return out;
}

} // namespace tevro
