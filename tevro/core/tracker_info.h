#pragma once

// One tracker of a torrent; identified by its announce URL.

#include <cstdint>
#include <string>

#include "tevro/core/json_value.h"

namespace tevro {

struct TrackerInfo {
    std::string url;
    std::int64_t tier = 0;
    std::string status; // working, updating, error, contacted, idle
    std::string message;
    std::int64_t fails = 0;
    std::int64_t seeds = 0;
    std::int64_t peers = 0;
    std::int64_t downloaded = 0;
    std::int64_t nextAnnounce = 0;
    bool extra = false;  // tier 99: added from the extra tracker list
    bool mirror = false; // tier 98: derived mirror tracker

    bool operator==(const TrackerInfo&) const = default;
    const std::string& id() const { return url; }
};

void to_json(Json& j, const TrackerInfo& v);
void from_json(const Json& j, TrackerInfo& v);

} // namespace tevro
