#pragma once

// Loads a .torrent file for inspection or adding: the file is read once,
// without ever waiting on a FIFO or a device, and every refusal says why.

#include <cstddef>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <libtorrent/bdecode.hpp>
#include <libtorrent/torrent_info.hpp>

namespace tevro::bridge {

class TorrentLoader {
public:
    // As large a file as the library itself loads.
    static constexpr std::size_t kMaxBytes = 10'000'000;
    // The library renames each repeated path by trying ".1", ".2"... afresh,
    // so its cost grows with the square of the repeats.
    static constexpr std::size_t kMaxRepeatedPaths = 1000;

    // The whole file, when it is a regular file of at most kMaxBytes.
    static std::expected<std::string, std::string> read(const char* path);
    // The torrent, or why it is refused.
    static std::expected<std::shared_ptr<lt::torrent_info>, std::string>
    parse(std::string_view bytes);
    static std::expected<std::shared_ptr<lt::torrent_info>, std::string> load(const char* path);
    // Why an info section is refused for its repeated paths, or nothing.
    static std::optional<std::string> repeatedPathsRefusal(const lt::bdecode_node& info);
};

} // namespace tevro::bridge
