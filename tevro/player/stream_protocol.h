#pragma once

// The "tevro" stream protocol: mpv reads one file of a torrent through the
// bridge's streaming reader, which blocks until the pieces it needs arrive.
// The URL is "tevro://" + torrent id + "/" + file index.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <mpv/stream_cb.h>

namespace tevro {

inline constexpr const char* kStreamProtocol = "tevro";

struct StreamTarget {
    std::string torrentID;
    std::int32_t file = 0;
    bool operator==(const StreamTarget&) const = default;
};

// "tevro://<id>/<index>".
std::string streamURL(std::string_view torrentID, std::int64_t file);

// The torrent id and file index a URL names: the exact scheme, then exactly
// two non-empty pieces between slashes (extra slashes are dropped), the
// second a signed 32-bit decimal with an optional sign. Nothing otherwise.
std::optional<StreamTarget> parseStreamURL(std::string_view url);

// Readers the protocol holds open now, over every core.
int openStreams();

// mpv's open callback; `userData` is the bridge session. Fills `info` with a
// reader and its callbacks, or returns MPV_ERROR_LOADING_FAILED.
int tevroOpen(void* userData, char* uri, mpv_stream_cb_info* info);

} // namespace tevro
