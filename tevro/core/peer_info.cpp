#include "tevro/core/peer_info.h"

namespace tevro {

void to_json(Json& j, const PeerInfo& v) {
    j = Json{{"ip", v.ip},
             {"port", v.port},
             {"client", v.client},
             {"flags", v.flags},
             {"source", v.source},
             {"progress", v.progress},
             {"downloadRate", v.downloadRate},
             {"uploadRate", v.uploadRate},
             {"downloaded", v.downloaded},
             {"uploaded", v.uploaded}};
}

void from_json(const Json& j, PeerInfo& v) {
    json::requireObject(j, "peer");
    using json::require;
    v.ip = require<std::string>(j, "ip");
    v.port = require<std::int64_t>(j, "port");
    v.client = require<std::string>(j, "client");
    v.flags = require<std::string>(j, "flags");
    v.source = require<std::string>(j, "source");
    v.progress = require<double>(j, "progress");
    v.downloadRate = require<std::int64_t>(j, "downloadRate");
    v.uploadRate = require<std::int64_t>(j, "uploadRate");
    v.downloaded = require<std::int64_t>(j, "downloaded");
    v.uploaded = require<std::int64_t>(j, "uploaded");
}

} // namespace tevro
