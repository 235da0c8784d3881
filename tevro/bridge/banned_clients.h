#pragma once

// Which peers the ban list names: a pattern starting with "-" is a peer-id
// prefix (a client code such as "-XL"); any other is a case-insensitive part
// of the client name.

#include <string>
#include <string_view>
#include <vector>

namespace tevro::bridge {

class BannedClients {
public:
    // `peerIdPrefix` is the first 8 bytes of the peer id.
    static bool matches(const std::vector<std::string>& patterns, std::string_view client,
                        std::string_view peerIdPrefix);
};

} // namespace tevro::bridge
