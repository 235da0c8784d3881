#pragma once

// One file of a torrent as the bridge lists it; identified by its index `i`.

#include <cstdint>
#include <string>

#include "tevro/core/json_value.h"

namespace tevro {

struct TorrentFile {
    std::int64_t i = 0;
    std::string path; // relative to the torrent's save path
    std::int64_t size = 0;
    std::int64_t done = 0;
    std::int64_t prio = 4; // libtorrent scale 0...7
    bool pad = false;
    std::int64_t first = 0; // piece holding the first byte
    std::int64_t last = 0;  // piece holding the last byte

    bool operator==(const TorrentFile&) const = default;
    std::int64_t id() const { return i; }
};

void to_json(Json& j, const TorrentFile& v);
void from_json(const Json& j, TorrentFile& v);

} // namespace tevro

template <> struct std::hash<tevro::TorrentFile> {
    size_t operator()(const tevro::TorrentFile& f) const noexcept {
        size_t h = std::hash<std::string>()(f.path);
        for (std::int64_t x :
             {f.i, f.size, f.done, f.prio, f.first, f.last, static_cast<std::int64_t>(f.pad)})
            h = h * 1000003u ^ std::hash<std::int64_t>()(x);
        return h;
    }
};
