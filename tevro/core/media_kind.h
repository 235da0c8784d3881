#pragma once

// What a file is, judged by its file-name extension.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tevro {

enum class MediaKind { video, audio, subtitle, image, text, archive, other };

inline constexpr std::array<MediaKind, 7> kAllMediaKinds = {
    MediaKind::video, MediaKind::audio,   MediaKind::subtitle, MediaKind::image,
    MediaKind::text,  MediaKind::archive, MediaKind::other};

std::string_view rawValue(MediaKind kind);
std::optional<MediaKind> mediaKindFromRaw(std::string_view raw);

// Exact, case-sensitive lookup of an extension without its dot; callers pass
// it lower-cased. Anything unknown, the empty text included, is `other`.
MediaKind mediaKindForExtension(std::string_view extension);

// The lower-cased text after the last dot of the path's last component.
std::string pathExtension(std::string_view path);

// mediaKindForExtension(pathExtension(path)).
MediaKind mediaKindForPath(std::string_view path);

} // namespace tevro
