#include "tevro/core/piece_map.h"

#include <algorithm>

namespace tevro {

std::optional<PieceState> pieceStateFromRaw(std::uint8_t byte) {
    if (byte >= '0' && byte <= '3')
        return static_cast<PieceState>(byte);
    return std::nullopt;
}

namespace {

// Bytes other than 1, 2 and 3 count as waiting.
PieceState stateOf(std::uint8_t byte) {
    switch (byte) {
    case '1':
        return PieceState::downloaded;
    case '2':
        return PieceState::receiving;
    case '3':
        return PieceState::unavailable;
    default:
        return PieceState::waiting;
    }
}

PieceRange effective(std::optional<PieceRange> range, std::int64_t n) {
    if (!range)
        return {0, n};
    auto lo = std::clamp<std::int64_t>(range->first, 0, n);
    auto hi = std::clamp<std::int64_t>(range->second, 0, n);
    return {lo, std::max(lo, hi)};
}

} // namespace

std::vector<PieceState> PieceMap::columns(std::optional<PieceRange> range,
                                          std::int64_t count) const {
    auto [lo, hi] = effective(range, static_cast<std::int64_t>(bytes.size()));
    std::int64_t span = hi - lo;
    if (count < 1 || span <= 0)
        return {};
    std::int64_t cols = std::min(span, count);
    std::vector<PieceState> out;
    out.reserve(static_cast<size_t>(cols));
    for (std::int64_t i = 0; i < cols; ++i) {
        // 128-bit products: span and cols can each approach 2^63 in theory.
        auto from = lo + static_cast<std::int64_t>((__int128)i * span / cols);
        auto to = lo + static_cast<std::int64_t>((__int128)(i + 1) * span / cols);
        bool receiving = false, waiting = false, unavailable = false;
        for (auto p = from; p < to; ++p) {
            PieceState s = stateOf(bytes[static_cast<size_t>(p)]);
            if (s == PieceState::unavailable) {
                unavailable = true;
                break;
            }
            receiving |= s == PieceState::receiving;
            waiting |= s == PieceState::waiting;
        }
        out.push_back(unavailable ? PieceState::unavailable
                      : receiving ? PieceState::receiving
                      : waiting   ? PieceState::waiting
                                  : PieceState::downloaded);
    }
    return out;
}

std::string PieceMap::summary(std::optional<PieceRange> range) const {
    auto [lo, hi] = effective(range, static_cast<std::int64_t>(bytes.size()));
    if (hi <= lo)
        return "Данные о частях ещё не получены";
    std::int64_t counts[4] = {0, 0, 0, 0};
    for (auto p = lo; p < hi; ++p)
        ++counts[static_cast<std::uint8_t>(stateOf(bytes[static_cast<size_t>(p)])) - '0'];
    static const char* const labels[4] = {"Ожидание", "Скачано", "Получение / запись",
                                          "Нет у пиров"};
    std::string out;
    for (int s = 0; s < 4; ++s) {
        if (counts[s] < 1)
            continue;
        if (!out.empty())
            out += "; ";
        out += labels[s];
        out += ": ";
        out += std::to_string(counts[s]);
    }
    return out;
}

} // namespace tevro
