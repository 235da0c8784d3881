#include "tevro/core/torrent_file.h"

namespace tevro {

void to_json(Json& j, const TorrentFile& v) {
    j = Json{{"i", v.i},       {"path", v.path}, {"size", v.size},   {"done", v.done},
             {"prio", v.prio}, {"pad", v.pad},   {"first", v.first}, {"last", v.last}};
}

void from_json(const Json& j, TorrentFile& v) {
    json::requireObject(j, "file");
    using json::require;
    v.i = require<std::int64_t>(j, "i");
    v.path = require<std::string>(j, "path");
    v.size = require<std::int64_t>(j, "size");
    v.done = require<std::int64_t>(j, "done");
    v.prio = require<std::int64_t>(j, "prio");
    v.pad = require<bool>(j, "pad");
    v.first = require<std::int64_t>(j, "first");
    v.last = require<std::int64_t>(j, "last");
}

} // namespace tevro
