#pragma once

// Describes a .torrent file without adding it: the JSON the add sheet previews.

#include <string>

namespace tevro::bridge {

class TorrentInspection {
public:
    // One JSON object ("id", "name", "size", "pieceLength", "pieces", "private",
    // "comment", "creator", "trackers", "files"), or {"error": text}.
    static std::string json(const char* path);
};

} // namespace tevro::bridge
