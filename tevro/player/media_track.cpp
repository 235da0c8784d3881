#include "tevro/player/media_track.h"

namespace tevro {

std::string_view rawValue(MediaTrack::Kind kind) {
    switch (kind) {
    case MediaTrack::Kind::video:
        return "video";
    case MediaTrack::Kind::audio:
        return "audio";
    case MediaTrack::Kind::sub:
        return "sub";
    }
    return "video";
}

std::optional<MediaTrack::Kind> mediaTrackKindFromRaw(std::string_view raw) {
    for (auto k : {MediaTrack::Kind::video, MediaTrack::Kind::audio, MediaTrack::Kind::sub})
        if (rawValue(k) == raw)
            return k;
    return std::nullopt;
}

} // namespace tevro
