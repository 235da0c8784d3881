#pragma once

// Whether a fresh save of a torrent would restore what its saved file
// restores already. The time counters, which grow by themselves, are not
// looked at; neither is the pause libtorrent's queue gives a torrent it still
// manages, which a restore takes off again.

#include <string_view>

namespace tevro::bridge {

bool restoresTheSame(std::string_view saved, std::string_view fresh);

} // namespace tevro::bridge
