#pragma once

// A torrent's per-piece state, one ASCII digit per piece as the bridge reports it,
// with the down-sampling and summary the piece bars draw.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tevro {

enum class PieceState : std::uint8_t {
    waiting = '0',
    downloaded = '1',
    receiving = '2',
    unavailable = '3',
};

inline constexpr std::array<PieceState, 4> kAllPieceStates = {
    PieceState::waiting, PieceState::downloaded, PieceState::receiving, PieceState::unavailable};

std::optional<PieceState> pieceStateFromRaw(std::uint8_t byte);

// A half-open range of piece indices.
using PieceRange = std::pair<std::int64_t, std::int64_t>;

struct PieceMap {
    std::vector<std::uint8_t> bytes;

    PieceMap() = default;
    explicit PieceMap(std::string_view text) : bytes(text.begin(), text.end()) {}

    bool operator==(const PieceMap&) const = default;

    // At most `count` columns over the range; a column shows its "worst" piece.
    std::vector<PieceState> columns(std::optional<PieceRange> range, std::int64_t count) const;
    // "Ожидание: 3; Скачано: 2" and so on, or the no-data text.
    std::string summary(std::optional<PieceRange> range) const;
};

} // namespace tevro
