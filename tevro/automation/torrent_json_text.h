#pragma once

// One torrent's object of the state document written straight to text,
// byte for byte what encoding CommandLayer::torrentObject() gives (keys
// sorted, compact, invalid UTF-8 replaced), without building the object:
// with thousands of torrents the objects cost more than the text.

#include <string>
#include <string_view>

#include "tevro/core/torrent_status.h"

namespace tevro {

struct TorrentJsonText {
    static void append(std::string& out, const TorrentStatus& torrent);
    static std::string text(const TorrentStatus& torrent);

    // A JSON string as the encoder writes it, quotes included.
    static void appendString(std::string& out, std::string_view value);
    // A real as the encoder writes it ("1.0", "0.25", "1e-05"); null when not finite.
    static void appendReal(std::string& out, double value);
};

} // namespace tevro
