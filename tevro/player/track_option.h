#pragma once

// One entry of the player's audio or subtitle menu: a track mpv already has,
// a separate audio or subtitle file of the torrent not loaded yet, or "off".

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "tevro/media/external_track.h"

namespace tevro {

struct TrackOption {
    // A track of mpv's track list, by its id.
    struct Track {
        std::int64_t id = 0;
        bool operator==(const Track&) const = default;
    };
    // No subtitles.
    struct Off {
        bool operator==(const Off&) const = default;
    };
    using Source = std::variant<Track, ExternalTrack, Off>;

    // "a3" / "s3" for mpv tracks, "x14" for a file not loaded yet, "off".
    std::string id;
    std::string label;
    std::optional<std::string> detail;
    bool selected = false;
    Source source;

    bool operator==(const TrackOption&) const = default;
};

} // namespace tevro
