#include "tevro/bridge/banned_clients.h"

#include <algorithm>
#include <cctype>

namespace tevro::bridge {

namespace {

std::string lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

} // namespace

bool BannedClients::matches(const std::vector<std::string>& patterns, std::string_view client,
                            std::string_view peerIdPrefix) {
    std::string name = lowered(client);
    for (const auto& pattern : patterns) {
        if (pattern.empty())
            continue;
        if (pattern.front() == '-') {
            if (peerIdPrefix.starts_with(pattern))
                return true;
        } else if (name.find(lowered(pattern)) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace tevro::bridge
