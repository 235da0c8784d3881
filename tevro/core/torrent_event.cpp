#include "tevro/core/torrent_event.h"

namespace tevro {

void to_json(Json& j, const TorrentEvent& v) {
    j = Json{{"type", v.type}, {"id", v.id}, {"name", v.name}, {"message", v.message}};
}

void from_json(const Json& j, TorrentEvent& v) {
    json::requireObject(j, "event");
    v.type = json::require<std::string>(j, "type");
    v.id = json::require<std::string>(j, "id");
    v.name = json::require<std::string>(j, "name");
    v.message = json::require<std::string>(j, "message");
}

} // namespace tevro
