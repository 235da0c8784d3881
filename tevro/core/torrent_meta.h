#pragma once

// What Tevro remembers about a torrent beyond the engine's own state: playback
// positions, chosen tracks, the seeding-limit exemption, the file played last.
// Kept for all torrents as one map in "torrents.json".

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "tevro/core/json_value.h"

namespace tevro {

struct TorrentMeta {
    struct TrackChoice {
        std::optional<std::string> language;
        std::optional<std::string> title;
        std::optional<std::string> externalName;
        bool off = false;
        bool operator==(const TrackChoice&) const = default;
    };

    std::map<std::int64_t, double> positions; // file index -> seconds
    std::optional<TrackChoice> audio;
    std::optional<TrackChoice> subtitle;
    bool ignoreSeedLimits = false;
    std::optional<std::int64_t> lastPlayedFile;

    bool operator==(const TorrentMeta&) const = default;
};

using TorrentMetaMap = std::map<std::string, TorrentMeta>;

void to_json(Json& j, const TorrentMeta::TrackChoice& v);
void from_json(const Json& j, TorrentMeta::TrackChoice& v);
void to_json(Json& j, const TorrentMeta& v);
void from_json(const Json& j, TorrentMeta& v); // strict

} // namespace tevro
