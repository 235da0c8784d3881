#pragma once

// What a .torrent file holds, read before it is added. Every field is
// optional; a preview carrying `error` holds nothing else.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tevro/core/json_value.h"

namespace tevro {

struct TorrentPreview {
    struct File {
        std::int64_t i = 0;
        std::string path;
        std::int64_t size = 0;
        bool pad = false;
        bool operator==(const File&) const = default;
    };

    std::optional<std::string> id;
    std::optional<std::string> name;
    std::optional<std::int64_t> size;
    std::optional<std::int64_t> pieceLength;
    std::optional<std::int64_t> pieces;
    std::optional<bool> isPrivate; // key "private"
    std::optional<std::string> comment;
    std::optional<std::vector<std::string>> trackers;
    std::optional<std::vector<File>> files;
    std::optional<std::string> error;

    static TorrentPreview failure(std::string message) {
        TorrentPreview p;
        p.error = std::move(message);
        return p;
    }
};

void to_json(Json& j, const TorrentPreview::File& v);
void from_json(const Json& j, TorrentPreview::File& v);
void to_json(Json& j, const TorrentPreview& v);
void from_json(const Json& j, TorrentPreview& v); // only wrong types fail

} // namespace tevro
