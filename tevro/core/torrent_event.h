#pragma once

// One event the bridge queued since the last poll.

#include <string>

#include "tevro/core/json_value.h"

namespace tevro {

struct TorrentEvent {
    std::string type; // metadata, listen_failed, error, recheck, finished
    std::string id;   // empty for an event of the whole session
    std::string name;
    std::string message;
};

void to_json(Json& j, const TorrentEvent& v);
void from_json(const Json& j, TorrentEvent& v);

} // namespace tevro
