#pragma once

// A season and episode read from a file name.

#include <compare>

namespace tevro {

struct EpisodeNumber {
    int season = 0; // 0 when the name carries no season
    int episode = 0;

    auto operator<=>(const EpisodeNumber&) const = default;
};

} // namespace tevro
