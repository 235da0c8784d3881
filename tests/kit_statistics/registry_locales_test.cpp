#include "quorvel-kit/statistics/registry_locales.h"

#include <set>

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(RegistryLocales, Codes) {
    std::pair<const char*, const char*> cases[] = {
        {"ru", "ru"},       {"en-GB", "en-GB"}, {"zh-Hans", "zh-Hans"}, {"en", "en-US"},
        {"nb", "no"},       {"es", "es-ES"},    {"fr", "fr-FR"},        {"ur", "ur-PK"},
        {"ru-RU", "en-US"}, {"de-AT", "en-US"}, {"en-IN", "en-US"},     {"pt", "en-US"},
        {"zh", "en-US"},    {"sr", "en-US"},    {"EN", "en-US"},        {"en_US", "en-US"},
        {"en-us", "en-US"}, {"", "en-US"},
    };
    for (auto [locale, code] : cases)
        EXPECT_EQ(RegistryLocales::code(locale), code) << locale;
}

TEST(RegistryLocales, FiftyDistinctCodes) {
    const auto& codes = RegistryLocales::codes();
    EXPECT_EQ(codes.size(), 50u);
    EXPECT_EQ(std::set<std::string>(codes.begin(), codes.end()).size(), 50u);
    EXPECT_EQ(codes.front(), "ar-SA");
    EXPECT_EQ(codes.back(), "vi");
}

} // namespace
} // namespace quorvel
