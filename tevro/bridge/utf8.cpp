#include "tevro/bridge/utf8.h"

namespace tevro::bridge {

namespace {

bool inRange(unsigned char c, unsigned char lo, unsigned char hi) {
    return c >= lo && c <= hi;
}

} // namespace

std::size_t utf8SequenceLength(std::string_view text) {
    if (text.empty())
        return 0;
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    // The allowed range of the second byte carries the rules against overlong
    // forms (E0, F0), surrogates (ED) and code points above U+10FFFF (F4).
    std::size_t length = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (inRange(lead, 0xC2, 0xDF)) {
        length = 2;
    } else if (lead == 0xE0) {
        length = 3;
        lo = 0xA0;
    } else if (inRange(lead, 0xE1, 0xEC) || inRange(lead, 0xEE, 0xEF)) {
        length = 3;
    } else if (lead == 0xED) {
        length = 3;
        hi = 0x9F;
    } else if (lead == 0xF0) {
        length = 4;
        lo = 0x90;
    } else if (inRange(lead, 0xF1, 0xF3)) {
        length = 4;
    } else if (lead == 0xF4) {
        length = 4;
        hi = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || !inRange(at(1), lo, hi))
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!inRange(at(i), 0x80, 0xBF))
            return 0;
    return length;
}

bool isValidUtf8(std::string_view text) {
    while (!text.empty()) {
        std::size_t n = utf8SequenceLength(text);
        if (n == 0)
            return false;
        text.remove_prefix(n);
    }
    return true;
}

std::string repairUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::size_t n = utf8SequenceLength(text);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            n = 1;
        } else {
            out.append(text.data(), n);
        }
        text.remove_prefix(n);
    }
    return out;
}

} // namespace tevro::bridge
