#pragma once

// Torrent file lists for tests of the media logic, written as paths.

#include <cstdint>
#include <string>
#include <vector>

#include "tevro/core/torrent_file.h"

namespace tevro::test {

// One file per path, indexed 0, 1, 2... in the given order. A path starting
// with "pad:" is a padding file (the prefix is dropped).
inline std::vector<TorrentFile> torrentFiles(const std::vector<std::string>& paths) {
    std::vector<TorrentFile> out;
    std::int64_t index = 0;
    for (const std::string& p : paths) {
        TorrentFile f;
        f.i = index++;
        f.pad = p.starts_with("pad:");
        f.path = f.pad ? p.substr(4) : p;
        f.size = 1000 * (f.i + 1);
        f.done = 0;
        f.prio = 4;
        out.push_back(f);
    }
    return out;
}

// The paths of files, in order.
inline std::vector<std::string> pathsOf(const std::vector<TorrentFile>& files) {
    std::vector<std::string> out;
    for (const TorrentFile& f : files)
        out.push_back(f.path);
    return out;
}

} // namespace tevro::test
