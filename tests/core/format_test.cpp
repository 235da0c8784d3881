#include "tevro/core/format.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

using namespace tevro;

TEST(Format, Percent) {
    const std::pair<double, const char*> cases[] = {
        {0, "0.0%"},    {0.05, "5.0%"}, {0.0999, "10.0%"}, {0.105, "10%"},
        {0.999, "99%"}, {1.0, "100%"},  {1.2, "100%"},     {0.5, "50%"},
    };
    for (const auto& [fraction, text] : cases)
        EXPECT_EQ(Format::percent(fraction), text) << fraction;
}

TEST(Format, Duration) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<std::optional<double>, const char*> cases[] = {
        {std::nullopt, "—"},
        {-1, "—"},
        {inf, "—"},
        {std::nan(""), "—"},
        {0, "0 с"},
        {59.9, "59 с"},
        {60, "1 мин 0 с"},
        {303, "5 мин 3 с"},
        {3599, "59 мин 59 с"},
        {3600, "1 ч 0 мин"},
        {86399, "23 ч 59 мин"},
        {86400, "1 д 0 ч"},
        {90001, "1 д 1 ч"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(Format::duration(seconds), text) << seconds.value_or(-99);
}

TEST(Format, Clock) {
    const std::pair<double, const char*> cases[] = {
        {-5, "0:00"},      {0, "0:00"},
        {65.8, "1:05"},    {425, "7:05"},
        {3599, "59:59"},   {3600, "1:00:00"},
        {3723, "1:02:03"}, {std::numeric_limits<double>::quiet_NaN(), "0:00"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(Format::clock(seconds), text) << seconds;
}

TEST(Format, Language) {
    EXPECT_EQ(Format::language(std::nullopt), std::nullopt);
    EXPECT_EQ(Format::language(std::string()), std::nullopt);
    EXPECT_EQ(Format::language(std::string("und")), std::nullopt);
    EXPECT_EQ(Format::language(std::string("eng")), "Английский");
    EXPECT_EQ(Format::language(std::string("en")), "Английский");
    EXPECT_EQ(Format::language(std::string("rus")), "Русский");
    EXPECT_EQ(Format::language(std::string("ger")), "Немецкий");
    EXPECT_EQ(Format::language(std::string("qqq")), "Qqq");
}

TEST(Format, Bytes) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {-5, "0 байт"},
        {0, "0 байт"},
        {1, "1 байт"},
        {3, "3 байта"},
        {12, "12 байт"},
        {1023, "1023 байта"},
        {1024, "1 КБ"},
        {1536, "2 КБ"},
        {1024 * 1024, "1 МБ"},
        {1024 * 1024 * 3 / 2, "1,5 МБ"},
        {1024LL * 1024 * 1024 * 5 / 4, "1,25 ГБ"},
        {1024LL * 1024 * 1024 * 1024 * 2, "2 ТБ"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(Format::bytes(bytes), text) << bytes;
}
