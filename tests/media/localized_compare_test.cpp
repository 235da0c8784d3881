#include "tevro/media/localized_compare.h"

#include <algorithm>
#include <thread>

#include <gtest/gtest.h>

using namespace tevro;

TEST(LocalizedCompare, FileManagerOrder) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"Episode 2", "Episode 10", -1},
        {"ep 1.mkv", "Ep 2.mkv", -1}, // case ignored while anything else differs
        {"Ep 2.mkv", "ep 10.mkv", -1},
        {"Season 9", "season 10", -1},
        {"Серия 9.mkv", "серия 10.mkv", -1}, // Cyrillic case folds too
        {"Сезон 2", "Сезон 2", 0},
        {"Show.S01E09", "Show.S01E10", -1},
        {"Ёлки 2", "Ёлки 10", -1},
        {"abc", "ABC", -1}, // differing only in case still differ
        {"ABC", "abc", 1},
        {"", "a", -1},
    };
    for (const Case& c : cases) {
        int r = localizedStandardCompare(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
        int back = localizedStandardCompare(c.b, c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign) << c.b << " vs " << c.a;
    }
}

TEST(LocalizedCompare, SortsTheSameOnManyThreads) {
    std::vector<std::string> names;
    for (int i = 40; i > 0; --i) {
        names.push_back("Episode " + std::to_string(i));
        names.push_back("серия " + std::to_string(i));
        names.push_back("Season " + std::to_string(i % 7) + " part " + std::to_string(i));
    }
    auto sorted = [&] {
        auto copy = names;
        std::stable_sort(copy.begin(), copy.end(), [](const std::string& a, const std::string& b) {
            return localizedStandardLess(a, b);
        });
        return copy;
    };
    const auto expected = sorted();
    auto at = [&](const char* name) {
        return std::ranges::find(expected, name) - expected.begin();
    };
    EXPECT_LT(at("Episode 2"), at("Episode 10"));
    EXPECT_LT(at("серия 9"), at("серия 10"));

    std::atomic<int> mismatches = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&] {
            for (int round = 0; round < 30; ++round)
                if (sorted() != expected)
                    ++mismatches;
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(mismatches, 0);
}
