#include "tevro/bridge/utf8.h"

#include <gtest/gtest.h>

namespace tevro::bridge {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

struct Case {
    const char* what;
    std::string in;
    std::string repaired;
};

TEST(Utf8, RepairsEveryBadByteAndKeepsWellFormedSequences) {
    const std::string R = kReplacement;
    const Case cases[] = {
        {"ascii", "plain", "plain"},
        {"two bytes", "\xC3\xA9", "\xC3\xA9"},
        {"three bytes", "\xE2\x82\xAC", "\xE2\x82\xAC"},
        {"four bytes", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"highest code point", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
        {"lone lead at end", "ab\xC3", "ab" + R},
        {"overlong two-byte slash", "\xC0\xAF", R + R},
        {"overlong C1", "\xC1\xBF", R + R},
        {"overlong three-byte", "\xE0\x80\xAF", R + R + R},
        {"overlong four-byte", "\xF0\x8F\xBF\xBF", R + R + R + R},
        {"surrogate", "\xED\xA0\x80", R + R + R},
        {"above U+10FFFF", "\xF4\x90\x80\x80", R + R + R + R},
        {"lead above F4", "\xF5\x80\x80\x80", R + R + R + R},
        {"FF byte",
         "a\xFF"
         "b",
         "a" + R + "b"},
        {"stray continuation", "\x80x", R + "x"},
        {"truncated three-byte", "\xE2\x82x", R + R + "x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(repairUtf8(c.in), c.repaired) << c.what;
        EXPECT_EQ(isValidUtf8(c.in), c.in == c.repaired) << c.what;
        EXPECT_TRUE(isValidUtf8(repairUtf8(c.in))) << c.what;
    }
}

} // namespace
} // namespace tevro::bridge
