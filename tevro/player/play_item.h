#pragma once

// The file the player is playing: which file of which torrent.

#include <string>

#include "tevro/core/torrent_file.h"

namespace tevro {

struct PlayItem {
    std::string torrentID;
    TorrentFile file;

    bool operator==(const PlayItem&) const = default;
};

} // namespace tevro
