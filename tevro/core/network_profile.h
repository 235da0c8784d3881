#pragma once

// The network environment Tevro tunes itself for, and the built-in tracker
// lists, list sources, DHT routers and banned clients that go with it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tevro {

enum class NetworkProfile { standard, russia, china };

std::string_view rawValue(NetworkProfile p);
std::optional<NetworkProfile> networkProfileFromRaw(std::string_view raw);

// Guessed from a region code and a time-zone identifier.
NetworkProfile detectNetworkProfile(std::string_view region, std::string_view timeZone);
// Guessed from the current machine's locale and time zone.
NetworkProfile detectedNetworkProfile();

// Public tracker-list sources to try, in order.
std::vector<std::string> trackerSources(NetworkProfile p);

// DHT bootstrap routers, "host:port" each.
std::vector<std::string> dhtRouters(NetworkProfile p);

namespace trackers {
extern const char* const kLocalRetracker;
extern const std::vector<std::string> kFallbackPublic; // 7 entries
extern const std::vector<std::string> kAlwaysAdded;    // 3 entries
extern const std::vector<std::string> kSourcesBest;    // "trackers_best.txt" mirrors
extern const std::vector<std::string> kSourcesBestAlt; // "best.txt" mirrors
} // namespace trackers

} // namespace tevro
