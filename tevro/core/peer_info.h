#pragma once

// One connected peer of a torrent; identified by "address:port".

#include <cstdint>
#include <string>

#include "tevro/core/json_value.h"

namespace tevro {

struct PeerInfo {
    std::string ip;
    std::int64_t port = 0;
    std::string client;
    std::string flags;  // E encrypted, U uTP, S seed, I incoming
    std::string source; // tracker dht pex lsd resume incoming
    double progress = 0;
    std::int64_t downloadRate = 0;
    std::int64_t uploadRate = 0;
    std::int64_t downloaded = 0;
    std::int64_t uploaded = 0;

    bool operator==(const PeerInfo&) const = default;
    std::string id() const { return ip + ":" + std::to_string(port); }
};

void to_json(Json& j, const PeerInfo& v);
void from_json(const Json& j, PeerInfo& v);

} // namespace tevro
