#pragma once

// A torrent's own trackers, cut to the first kMaxTrackers in tier order. The
// library's cost of an add grows with the square of the tracker count, the
// session answers no other call meanwhile, and every announce round visits
// each tracker again.

#include <cstddef>

#include <libtorrent/add_torrent_params.hpp>

namespace tevro::bridge {

// As many as a fetched public tracker list keeps.
constexpr std::size_t kMaxTrackers = 80;

// Cuts the trackers of the torrent file (unless the parameters override
// them) and the listed ones together to kMaxTrackers, the file's first.
void cutTrackers(lt::add_torrent_params& params);

} // namespace tevro::bridge
