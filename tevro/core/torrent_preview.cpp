#include "tevro/core/torrent_preview.h"

namespace tevro {

void to_json(Json& j, const TorrentPreview::File& v) {
    j = Json{{"i", v.i}, {"path", v.path}, {"size", v.size}, {"pad", v.pad}};
}

void from_json(const Json& j, TorrentPreview::File& v) {
    json::requireObject(j, "preview file");
    v.i = json::require<std::int64_t>(j, "i");
    v.path = json::require<std::string>(j, "path");
    v.size = json::require<std::int64_t>(j, "size");
    v.pad = json::require<bool>(j, "pad");
}

void to_json(Json& j, const TorrentPreview& v) {
    j = Json::object();
    auto put = [&j](const char* key, const auto& value) {
        if (value)
            j[key] = *value;
    };
    put("id", v.id);
    put("name", v.name);
    put("size", v.size);
    put("pieceLength", v.pieceLength);
    put("pieces", v.pieces);
    put("private", v.isPrivate);
    put("comment", v.comment);
    put("trackers", v.trackers);
    put("files", v.files);
    put("error", v.error);
}

void from_json(const Json& j, TorrentPreview& v) {
    json::requireObject(j, "preview");
    using json::optional;
    v.id = optional<std::string>(j, "id");
    v.name = optional<std::string>(j, "name");
    v.size = optional<std::int64_t>(j, "size");
    v.pieceLength = optional<std::int64_t>(j, "pieceLength");
    v.pieces = optional<std::int64_t>(j, "pieces");
    v.isPrivate = optional<bool>(j, "private");
    v.comment = optional<std::string>(j, "comment");
    v.trackers = optional<std::vector<std::string>>(j, "trackers");
    v.error = optional<std::string>(j, "error");
    v.files.reset();
    if (auto it = j.find("files"); it != j.end() && !it->is_null()) {
        if (!it->is_array())
            throw DecodeError("wrong type for key \"files\"");
        std::vector<TorrentPreview::File> files;
        files.reserve(it->size());
        for (const auto& f : *it)
            files.push_back(f.get<TorrentPreview::File>());
        v.files = std::move(files);
    }
}

} // namespace tevro
