#pragma once

// Hostile .torrent files for tests, bencoded with the library's own writer.

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <libtorrent/bencode.hpp>
#include <libtorrent/entry.hpp>

#include "tests/support/temp_dir.h"

namespace tevro::test {

struct HostileFile {
    std::vector<std::string> path;
    std::int64_t length = 1;
    bool pad = false;
};

// A v1 info dictionary holding `files`, with as many zero hashes as they need.
inline lt::entry hostileInfo(const std::vector<HostileFile>& files, std::string name = "hostile") {
    constexpr std::int64_t pieceLength = 16384;
    lt::entry info(lt::entry::dictionary_t);
    info["name"] = name;
    info["piece length"] = pieceLength;
    lt::entry::list_type list;
    std::int64_t total = 0;
    for (const HostileFile& f : files) {
        lt::entry e(lt::entry::dictionary_t);
        e["length"] = f.length;
        lt::entry::list_type path;
        for (const std::string& part : f.path)
            path.emplace_back(part);
        e["path"] = path;
        if (f.pad)
            e["attr"] = "p";
        list.push_back(e);
        total += f.length;
    }
    info["files"] = list;
    info["pieces"] =
        std::string(static_cast<std::size_t>(20 * ((total + pieceLength - 1) / pieceLength)), '\0');
    return info;
}

// The .torrent text: `info`, and trackers in tiers of `perTier` URLs.
inline std::string hostileTorrent(const lt::entry& info,
                                  const std::vector<std::string>& trackers = {},
                                  std::size_t perTier = 1) {
    lt::entry root(lt::entry::dictionary_t);
    root["info"] = info;
    if (!trackers.empty()) {
        root["announce"] = trackers.front();
        lt::entry::list_type tiers;
        for (std::size_t i = 0; i < trackers.size(); ++i) {
            if (i % perTier == 0)
                tiers.emplace_back(lt::entry::list_type{});
            tiers.back().list().emplace_back(trackers[i]);
        }
        root["announce-list"] = tiers;
    }
    std::string out;
    lt::bencode(std::back_inserter(out), root);
    return out;
}

// One path listed `copies` times.
inline std::string repeatedPathTorrent(int copies) {
    std::vector<HostileFile> files(static_cast<std::size_t>(copies),
                                   HostileFile{{"dir", "same.mkv"}});
    return hostileTorrent(hostileInfo(files, "repeated"));
}

inline std::filesystem::path writeTorrent(const TempDir& dir, const std::string& name,
                                          const std::string& bytes) {
    std::filesystem::path p = dir / name;
    writeAll(p, bytes);
    return p;
}

} // namespace tevro::test
