#pragma once

// One entry of mpv's "track-list": an audio, video or subtitle track of the
// playing file, embedded or added from a separate file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tevro {

struct MediaTrack {
    enum class Kind { video, audio, sub };

    std::int64_t id = 0;
    Kind kind = Kind::video;
    std::optional<std::string> title;
    std::optional<std::string> language;
    std::optional<std::string> codec;
    std::optional<std::int64_t> channels;
    bool external = false;
    std::optional<std::string> externalFile;
    bool isDefault = false;
    bool forced = false;
    bool selected = false;

    bool operator==(const MediaTrack&) const = default;
};

// "video", "audio", "sub".
std::string_view rawValue(MediaTrack::Kind kind);
std::optional<MediaTrack::Kind> mediaTrackKindFromRaw(std::string_view raw);

} // namespace tevro
