#pragma once

// One torrent's row of the bridge's status report: what every view, filter,
// the player and the local servers read about a torrent.

#include <cstdint>
#include <optional>
#include <string>

#include "tevro/core/json_value.h"

namespace tevro {

struct TorrentStatus {
    std::string id;
    std::string name;
    std::string state; // checking, missing, metadata, downloading, finished, seeding, unknown
    bool paused = false;
    bool autoManaged = false;
    bool sequential = false;
    bool isPrivate = false; // key "private"
    bool hasMetadata = false;
    bool finished = false;
    bool seeding = false;
    bool moving = false;
    double progress = 0;
    std::int64_t total = 0;
    std::int64_t totalDone = 0;
    std::int64_t wanted = 0;
    std::int64_t wantedDone = 0;
    std::int64_t downloadRate = 0;
    std::int64_t uploadRate = 0;
    std::int64_t peers = 0;
    std::int64_t seeds = 0;
    std::int64_t swarmPeers = -1;
    std::int64_t swarmSeeds = -1;
    std::int64_t connectCandidates = 0;
    std::int64_t uploaded = 0;
    std::int64_t downloaded = 0;
    std::int64_t added = 0;
    std::int64_t completed = 0;
    std::int64_t activeTime = 0;
    std::int64_t seedingTime = 0;
    std::int64_t downloadLimit = 0;
    std::int64_t uploadLimit = 0;
    std::int64_t connectionsLimit = 0;
    std::int64_t uploadsLimit = 0;
    std::int64_t queue = -1;
    std::int64_t pieces = 0;
    double availability = 0;
    std::string savePath;
    std::string tracker;
    std::string error;
    // Filled in by the engine from its own estimate; never in the bridge's text.
    std::optional<std::int64_t> checkingRate;

    bool operator==(const TorrentStatus&) const = default;

    bool isChecking() const { return state == "checking"; }
    // The fraction every progress bar shows, clamped to 0...1.
    double displayProgress() const;
    // Seconds until the hash check ends, when there is an estimate.
    std::optional<double> checkingETA() const;
    // "12 МБ/с" while a check runs with a known speed, else "—".
    std::string checkingSpeedText() const;
};

void to_json(Json& j, const TorrentStatus& v);
void from_json(const Json& j, TorrentStatus& v); // strict: throws DecodeError

} // namespace tevro
