#include "tevro/core/piece_map.h"

#include <gtest/gtest.h>

using namespace tevro;

namespace {
using S = PieceState;
constexpr S W = S::waiting, D = S::downloaded, R = S::receiving, U = S::unavailable;
} // namespace

TEST(PieceMap, Columns) {
    struct Case {
        std::string bytes;
        std::optional<PieceRange> range;
        std::int64_t count;
        std::vector<S> expected;
    } cases[] = {
        {"", std::nullopt, 10, {}},
        {"0123", std::nullopt, 10, {W, D, R, U}},
        {"1111111112", std::nullopt, 1, {R}},
        {"1121111311", std::nullopt, 1, {U}},
        {"1111111110", std::nullopt, 1, {W}},
        {"1111111111", std::nullopt, 1, {D}},
        {"1111x", std::nullopt, 5, {D, D, D, D, W}},
        // 10 pieces in 4 columns: boundaries 0, 2, 5, 7, 10.
        {"1120111113", std::nullopt, 4, {D, R, D, U}},
        {"0123456789", PieceRange{2, 100}, 100, {R, U, W, W, W, W, W, W}},
        {"0123456789", PieceRange{12, 20}, 5, {}},
        {"0123", std::nullopt, 0, {}},
        {"0123", std::nullopt, -3, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PieceMap(c.bytes).columns(c.range, c.count), c.expected)
            << c.bytes << " count " << c.count;
}

TEST(PieceMap, Summary) {
    const char* noData = "Данные о частях ещё не получены";
    EXPECT_EQ(PieceMap().summary(std::nullopt), noData);
    EXPECT_EQ(PieceMap("0123").summary(PieceRange{12, 20}), noData);
    EXPECT_EQ(PieceMap("000112").summary(std::nullopt),
              "Ожидание: 3; Скачано: 2; Получение / запись: 1");
    EXPECT_EQ(PieceMap("111z").summary(std::nullopt), "Ожидание: 1; Скачано: 3");
    EXPECT_EQ(PieceMap("0111").summary(PieceRange{1, 4}), "Скачано: 3");
    EXPECT_EQ(PieceMap("3").summary(std::nullopt), "Нет у пиров: 1");
}

TEST(PieceState, RawBytes) {
    EXPECT_EQ(pieceStateFromRaw('2'), S::receiving);
    EXPECT_EQ(pieceStateFromRaw('4'), std::nullopt);
    EXPECT_EQ(pieceStateFromRaw(0), std::nullopt);
}
