#pragma once

// Measures each checking torrent's hashing speed from its progress over a
// window of about three seconds.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tevro {

struct CheckingProgressEstimator {
    struct Track {
        std::int64_t total = 0;
        std::vector<std::pair<double, double>> samples; // (time, progress)
        double lastProgress = 0;
        double lastChange = 0;
        std::optional<std::int64_t> rate;
    };

    std::map<std::string, Track> tracks;

    // Bytes per second, or nothing while there is no estimate yet.
    std::optional<std::int64_t> update(const std::string& id, double progress, std::int64_t total,
                                       bool active, double now);
    // Drops the tracks of torrents no longer listed.
    void retain(const std::set<std::string>& ids);
};

} // namespace tevro
