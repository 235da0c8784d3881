#pragma once

// What the library shows for a release-style torrent or file name: a clean
// title and a second line of year, season and episode, and picture quality.

#include <optional>
#include <string>
#include <string_view>

#include "tevro/core/media_kind.h"

namespace tevro {

struct MediaPresentation {
    std::string title;
    std::optional<std::string> year;    // "2010"
    std::optional<std::string> quality; // "1080p", "4K"
    std::optional<std::string> episode; // "Сезон 1 · Серия 5"
    MediaKind kind = MediaKind::other;

    MediaPresentation() = default;
    // From a torrent name or a file's last path component. Callable from any thread.
    explicit MediaPresentation(std::string_view name);

    // Year, episode and quality, those present, joined with " · ".
    std::string subtitle() const;

    bool operator==(const MediaPresentation&) const = default;
};

} // namespace tevro
