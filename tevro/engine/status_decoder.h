#pragma once

// Decodes the bridge's status text poll after poll, decoding again only the
// torrent rows whose text changed: with thousands of torrents most rows are
// the same from one second to the next. Used on the engine queue only.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tevro/core/status_snapshot.h"

namespace tevro {

class StatusDecoder {
public:
    // Nothing when the text does not decode (one bad row fails it whole).
    std::optional<StatusSnapshot> decode(std::string_view text);

private:
    std::unordered_map<std::string, TorrentStatus> m_rows; // row text -> its decoding
};

} // namespace tevro
