#pragma once

// Generated torrents in every state the library draws, their piece maps and
// video-frame-like pictures, for the gallery and the library benchmark.

#include <cstdint>
#include <string>
#include <vector>

#include <QImage>

#include "tevro/core/piece_map.h"
#include "tevro/core/torrent_status.h"

namespace tevro::sample {

enum class State { downloading, seeding, paused, queued, checking, error, missing, metadata };

TorrentStatus torrent(State state, const std::string& id, const std::string& name,
                      double fraction = 0.42);
// `count` torrents of mixed names and states.
std::vector<TorrentStatus> library(int count, std::uint32_t seed = 1);
// A map that agrees with the torrent's progress, with a few pieces in flight.
PieceMap pieces(const TorrentStatus& torrent, int count = 400);
// A picture standing in for a grabbed frame.
QImage frame(std::uint32_t seed, QSize size = {512, 288});
// One step of status updates: about `share` of the torrents change their
// progress and rate.
void advance(std::vector<TorrentStatus>& torrents, double share, std::uint32_t step);

} // namespace tevro::sample
