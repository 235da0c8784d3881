#include "tevro/core/status_snapshot.h"

namespace tevro {

std::expected<StatusSnapshot, std::string> StatusSnapshot::decode(std::string_view text) {
    return json::decode<StatusSnapshot>(text);
}

void to_json(Json& j, const StatusSnapshot& v) {
    j = Json{{"session", v.session}, {"torrents", v.torrents}};
}

void from_json(const Json& j, StatusSnapshot& v) {
    json::requireObject(j, "status");
    auto session = j.find("session");
    auto torrents = j.find("torrents");
    if (session == j.end() || torrents == j.end())
        throw DecodeError("status: missing session or torrents");
    if (!torrents->is_array())
        throw DecodeError("status: torrents is not an array");
    v.session = session->get<SessionInfo>();
    v.torrents.clear();
    v.torrents.reserve(torrents->size());
    for (const auto& t : *torrents)
        v.torrents.push_back(t.get<TorrentStatus>());
}

} // namespace tevro
