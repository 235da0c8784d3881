#include "tevro/bridge/json_writer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tevro::bridge {
namespace {

std::string escaped(std::string_view v) {
    std::string out;
    JsonWriter::appendText(out, v);
    return out;
}

TEST(JsonWriter, EscapesTexts) {
    EXPECT_EQ(escaped("x\ty\"z"), R"("x\ty\"z")");
    EXPECT_EQ(escaped("a\\b\nc\rd"), R"("a\\b\nc\rd")");
    EXPECT_EQ(escaped(std::string("a\x01"
                                  "b\x1f",
                                  4)),
              R"("a\u0001b\u001f")");
    EXPECT_EQ(escaped("name\xC3"), "\"name\xEF\xBF\xBD\"");
    EXPECT_EQ(escaped("\xC3\xA9t\xC3\xA9"), "\"\xC3\xA9t\xC3\xA9\"");
    // A surrogate encoded as UTF-8 is not let through.
    EXPECT_EQ(escaped("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TEST(JsonWriter, WritesNumbersCompactly) {
    struct {
        double v;
        const char* text;
    } reals[] = {{1.0, "1"},     {0.25, "0.25"}, {0.5, "0.5"}, {0.1234567, "0.123457"},
                 {1e6, "1e+06"}, {0.0, "0"}};
    for (const auto& r : reals) {
        JsonWriter w;
        w.real(r.v);
        EXPECT_EQ(w.str(), r.text);
    }
    JsonWriter w;
    w.integer(-9223372036854775807LL - 1);
    EXPECT_EQ(w.str(), "-9223372036854775808");
}

TEST(JsonWriter, NestsWithoutWhitespace) {
    JsonWriter w;
    w.beginObject().key("a").integer(1).key("b").beginArray();
    w.text("x").boolean(true).beginObject().endObject().beginArray().endArray();
    w.endArray().key("c").boolean(false).endObject();
    EXPECT_EQ(w.str(), R"({"a":1,"b":["x",true,{},[]],"c":false})");
}

TEST(JsonWriter, OutputAlwaysParsesWhateverTheBytes) {
    std::string all;
    for (int i = 1; i < 256; ++i)
        all += static_cast<char>(i);
    JsonWriter w;
    w.beginObject().key("name").text(all).endObject();
    auto parsed = nlohmann::json::parse(w.str());
    EXPECT_EQ(parsed["name"].get<std::string>().substr(0, 3), "\x01\x02\x03");
}

} // namespace
} // namespace tevro::bridge
