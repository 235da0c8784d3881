#include "tevro/core/session_info.h"

namespace tevro {

void to_json(Json& j, const SessionInfo& v) {
    j = Json{
        {"download", v.download},  {"upload", v.upload},         {"dhtNodes", v.dhtNodes},
        {"incoming", v.incoming},  {"externalIP", v.externalIP}, {"portmap", v.portmap},
        {"banned", v.banned},      {"listening", v.listening},   {"listenErrors", v.listenErrors},
        {"restoring", v.restoring}};
}

void from_json(const Json& j, SessionInfo& v) {
    json::requireObject(j, "session");
    using json::require;
    v.download = require<std::int64_t>(j, "download");
    v.upload = require<std::int64_t>(j, "upload");
    v.dhtNodes = require<std::int64_t>(j, "dhtNodes");
    v.incoming = require<bool>(j, "incoming");
    v.externalIP = require<std::string>(j, "externalIP");
    v.portmap = require<std::string>(j, "portmap");
    v.banned = require<std::int64_t>(j, "banned");
    v.listening = require<std::vector<std::string>>(j, "listening");
    v.listenErrors = require<std::vector<std::string>>(j, "listenErrors");
    // Absent from a bridge that restores before it answers.
    auto restoring = j.find("restoring");
    v.restoring = restoring != j.end() && restoring->is_boolean() && restoring->get<bool>();
}

} // namespace tevro
