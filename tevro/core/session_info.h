#pragma once

// Session-wide counters and listen state from the bridge's status report.

#include <cstdint>
#include <string>
#include <vector>

#include "tevro/core/json_value.h"

namespace tevro {

struct SessionInfo {
    std::int64_t download = 0;
    std::int64_t upload = 0;
    std::int64_t dhtNodes = 0;
    bool incoming = false;
    std::string externalIP;
    std::string portmap;
    std::int64_t banned = 0;
    std::vector<std::string> listening;
    std::vector<std::string> listenErrors;
    // Saved torrents are still being added: the list is not whole yet.
    bool restoring = false;

    bool operator==(const SessionInfo&) const = default;
};

void to_json(Json& j, const SessionInfo& v);
void from_json(const Json& j, SessionInfo& v); // strict: throws DecodeError

} // namespace tevro
