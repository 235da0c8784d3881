#pragma once

// One poll's worth of status: the session counters and every torrent's row.

#include <string_view>
#include <expected>
#include <vector>

#include "tevro/core/session_info.h"
#include "tevro/core/torrent_status.h"

namespace tevro {

struct StatusSnapshot {
    SessionInfo session;
    std::vector<TorrentStatus> torrents;

    bool operator==(const StatusSnapshot&) const = default;

    // Decodes the bridge's status text; any bad key in any row fails it whole.
    static std::expected<StatusSnapshot, std::string> decode(std::string_view text);
};

void to_json(Json& j, const StatusSnapshot& v);
void from_json(const Json& j, StatusSnapshot& v);

} // namespace tevro
