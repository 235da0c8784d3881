#pragma once

// What the libmpv core reports to its owner, one value per mpv event it
// passes on, delivered on the main thread in the order mpv produced them.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "tevro/player/media_track.h"
#include "tevro/player/mpv_value.h"

namespace tevro {

struct MPVEvent {
    // An observed property changed, or a telemetry read was answered.
    struct Property {
        std::string name;
        MPVValue value;
        bool operator==(const Property&) const = default;
    };
    // "track-list" changed, or a file was loaded.
    struct Tracks {
        std::vector<MediaTrack> list;
        bool operator==(const Tracks&) const = default;
    };
    // mpv's end-file reason (0 eof, 2 stop, 3 quit, 4 error, 5 redirect) and
    // error code (negative when the reason is error).
    struct EndFile {
        std::int32_t reason = 0;
        std::int32_t error = 0;
        bool operator==(const EndFile&) const = default;
    };
    struct FileLoaded {
        bool operator==(const FileLoaded&) const = default;
    };
    struct PlaybackRestart {
        bool operator==(const PlaybackRestart&) const = default;
    };
    struct Shutdown {
        bool operator==(const Shutdown&) const = default;
    };
    // The reply to a command sent with a non-zero reply id; `error` is mpv's
    // code, negative when the command failed.
    struct CommandReply {
        std::uint64_t id = 0;
        std::int32_t error = 0;
        bool operator==(const CommandReply&) const = default;
    };

    using Payload = std::variant<Property, Tracks, EndFile, FileLoaded, PlaybackRestart, Shutdown,
                                 CommandReply>;

    template <class T> MPVEvent(T payload) : payload(std::move(payload)) {}

    template <class T> const T* as() const { return std::get_if<T>(&payload); }
    bool operator==(const MPVEvent&) const = default;

    Payload payload;
};

} // namespace tevro
