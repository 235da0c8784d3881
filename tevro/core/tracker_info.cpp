#include "tevro/core/tracker_info.h"

namespace tevro {

void to_json(Json& j, const TrackerInfo& v) {
    j = Json{{"url", v.url},
             {"tier", v.tier},
             {"status", v.status},
             {"message", v.message},
             {"fails", v.fails},
             {"seeds", v.seeds},
             {"peers", v.peers},
             {"downloaded", v.downloaded},
             {"nextAnnounce", v.nextAnnounce},
             {"extra", v.extra},
             {"mirror", v.mirror}};
}

void from_json(const Json& j, TrackerInfo& v) {
    json::requireObject(j, "tracker");
    using json::require;
    v.url = require<std::string>(j, "url");
    v.tier = require<std::int64_t>(j, "tier");
    v.status = require<std::string>(j, "status");
    v.message = require<std::string>(j, "message");
    v.fails = require<std::int64_t>(j, "fails");
    v.seeds = require<std::int64_t>(j, "seeds");
    v.peers = require<std::int64_t>(j, "peers");
    v.downloaded = require<std::int64_t>(j, "downloaded");
    v.nextAnnounce = require<std::int64_t>(j, "nextAnnounce");
    v.extra = require<bool>(j, "extra");
    v.mirror = require<bool>(j, "mirror");
}

} // namespace tevro
