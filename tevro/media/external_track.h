#pragma once

// An audio or subtitle file of a torrent that belongs to one of its videos.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tevro/core/torrent_file.h"

namespace tevro {

struct ExternalTrack {
    TorrentFile file;
    // The label of the track menu: "Studio X · AC3".
    std::string title;
    // Three-letter code ("rus", "eng", ...) when the path names a known language.
    std::optional<std::string> language;

    std::int64_t id() const { return file.i; }
    bool operator==(const ExternalTrack&) const = default;
};

// The external tracks of one video, each list in path order.
struct ExternalTracks {
    std::vector<ExternalTrack> audio;
    std::vector<ExternalTrack> subtitles;

    bool operator==(const ExternalTracks&) const = default;
};

} // namespace tevro

template <> struct std::hash<tevro::ExternalTrack> {
    std::size_t operator()(const tevro::ExternalTrack& t) const noexcept {
        std::size_t h = std::hash<tevro::TorrentFile>()(t.file);
        h = h * 1000003u ^ std::hash<std::string>()(t.title);
        h = h * 1000003u ^ std::hash<std::optional<std::string>>()(t.language);
        return h;
    }
};
