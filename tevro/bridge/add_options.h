#pragma once

// The option text of an add ("save_path", "paused", "sequential", "choose",
// "priorities" lines) and how it shapes libtorrent's add parameters.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <libtorrent/add_torrent_params.hpp>

namespace tevro::bridge {

struct AddOptions {
    std::optional<std::string> savePath;
    bool paused = false;
    bool sequential = false;
    bool choose = false;
    std::optional<std::vector<std::uint8_t>> priorities; // one per file, 0...7

    // Same line rules as the settings text; only the exact value "1" is true.
    // A value holding CR or LF is refused.
    static AddOptions parse(const char* text);

    // `hasMetadata`: priorities only apply when the file list is known.
    void applyTo(lt::add_torrent_params& params, bool hasMetadata) const;
};

} // namespace tevro::bridge
