#include "tevro/core/torrent_status.h"

#include <algorithm>

#include "tevro/core/format.h"

namespace tevro {

double TorrentStatus::displayProgress() const {
    double p;
    if (isChecking())
        p = progress;
    else if (wanted < 1)
        p = hasMetadata ? 1.0 : 0.0;
    else
        p = static_cast<double>(wantedDone) / static_cast<double>(wanted);
    if (!(p >= 0))
        return 0;
    return std::min(p, 1.0);
}

std::optional<double> TorrentStatus::checkingETA() const {
    if (!isChecking() || paused || !error.empty() || total < 1 || !checkingRate ||
        *checkingRate < 1)
        return std::nullopt;
    double shown = displayProgress();
    if (shown == 1.0)
        return std::nullopt;
    return (1.0 - shown) * static_cast<double>(total) / static_cast<double>(*checkingRate);
}

std::string TorrentStatus::checkingSpeedText() const {
    if (isChecking() && !paused && error.empty() && checkingRate)
        return Format::byteFormatter().string(std::max<std::int64_t>(*checkingRate, 0)) + "/с";
    return "—";
}

void to_json(Json& j, const TorrentStatus& v) {
    j = Json::object();
    j["id"] = v.id;
    j["name"] = v.name;
    j["state"] = v.state;
    j["paused"] = v.paused;
    j["autoManaged"] = v.autoManaged;
    j["sequential"] = v.sequential;
    j["private"] = v.isPrivate;
    j["hasMetadata"] = v.hasMetadata;
    j["finished"] = v.finished;
    j["seeding"] = v.seeding;
    j["moving"] = v.moving;
    j["progress"] = v.progress;
    j["total"] = v.total;
    j["totalDone"] = v.totalDone;
    j["wanted"] = v.wanted;
    j["wantedDone"] = v.wantedDone;
    j["downloadRate"] = v.downloadRate;
    j["uploadRate"] = v.uploadRate;
    j["peers"] = v.peers;
    j["seeds"] = v.seeds;
    j["swarmPeers"] = v.swarmPeers;
    j["swarmSeeds"] = v.swarmSeeds;
    j["connectCandidates"] = v.connectCandidates;
    j["uploaded"] = v.uploaded;
    j["downloaded"] = v.downloaded;
    j["added"] = v.added;
    j["completed"] = v.completed;
    j["activeTime"] = v.activeTime;
    j["seedingTime"] = v.seedingTime;
    j["downloadLimit"] = v.downloadLimit;
    j["uploadLimit"] = v.uploadLimit;
    j["connectionsLimit"] = v.connectionsLimit;
    j["uploadsLimit"] = v.uploadsLimit;
    j["queue"] = v.queue;
    j["pieces"] = v.pieces;
    j["availability"] = v.availability;
    j["savePath"] = v.savePath;
    j["tracker"] = v.tracker;
    j["error"] = v.error;
    if (v.checkingRate)
        j["checkingRate"] = *v.checkingRate;
}

void from_json(const Json& j, TorrentStatus& v) {
    json::requireObject(j, "torrent");
    using json::require;
    using I = std::int64_t;
    v.id = require<std::string>(j, "id");
    v.name = require<std::string>(j, "name");
    v.state = require<std::string>(j, "state");
    v.paused = require<bool>(j, "paused");
    v.autoManaged = require<bool>(j, "autoManaged");
    v.sequential = require<bool>(j, "sequential");
    v.isPrivate = require<bool>(j, "private");
    v.hasMetadata = require<bool>(j, "hasMetadata");
    v.finished = require<bool>(j, "finished");
    v.seeding = require<bool>(j, "seeding");
    v.moving = require<bool>(j, "moving");
    v.progress = require<double>(j, "progress");
    v.total = require<I>(j, "total");
    v.totalDone = require<I>(j, "totalDone");
    v.wanted = require<I>(j, "wanted");
    v.wantedDone = require<I>(j, "wantedDone");
    v.downloadRate = require<I>(j, "downloadRate");
    v.uploadRate = require<I>(j, "uploadRate");
    v.peers = require<I>(j, "peers");
    v.seeds = require<I>(j, "seeds");
    v.swarmPeers = require<I>(j, "swarmPeers");
    v.swarmSeeds = require<I>(j, "swarmSeeds");
    v.connectCandidates = require<I>(j, "connectCandidates");
    v.uploaded = require<I>(j, "uploaded");
    v.downloaded = require<I>(j, "downloaded");
    v.added = require<I>(j, "added");
    v.completed = require<I>(j, "completed");
    v.activeTime = require<I>(j, "activeTime");
    v.seedingTime = require<I>(j, "seedingTime");
    v.downloadLimit = require<I>(j, "downloadLimit");
    v.uploadLimit = require<I>(j, "uploadLimit");
    v.connectionsLimit = require<I>(j, "connectionsLimit");
    v.uploadsLimit = require<I>(j, "uploadsLimit");
    v.queue = require<I>(j, "queue");
    v.pieces = require<I>(j, "pieces");
    v.availability = require<double>(j, "availability");
    v.savePath = require<std::string>(j, "savePath");
    v.tracker = require<std::string>(j, "tracker");
    v.error = require<std::string>(j, "error");
    v.checkingRate = json::optional<I>(j, "checkingRate");
}

} // namespace tevro
