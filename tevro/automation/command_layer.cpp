#include "tevro/automation/command_layer.h"

#include <limits>
#include <string_view>

#include "tevro/automation/state_text_cache.h"
#include "tevro/automation/window_lookup.h"
#include "tevro/bridge/torrent_bridge.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/torrent_status_text.h"
#include "tevro/player/player_model.h"

namespace tevro {

namespace {

std::string lastComponent(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Json trackObjects(const std::vector<TrackOption>& options) {
    Json out = Json::array();
    for (const TrackOption& o : options)
        out.push_back(Json{{"id", o.id},
                           {"label", o.label},
                           {"detail", o.detail.value_or("")},
                           {"selected", o.selected}});
    return out;
}

} // namespace

CommandLayer::CommandLayer(TorrentEngine& engine)
    : m_engine(engine), m_texts(StateTextCache::of(engine)) {}

CommandLayer::CommandLayer(TorrentEngine& engine, Sources sources)
    : m_engine(engine), m_sources(std::move(sources)), m_texts(StateTextCache::of(engine)) {}

Json CommandLayer::torrentObject(const TorrentStatus& t) {
    Json o = Json::object();
    o["id"] = t.id;
    o["name"] = t.name;
    o["state"] = t.state;
    o["status"] = TorrentStatusText::statusText(t);
    o["paused"] = t.paused;
    o["progress"] = t.progress;
    o["wanted"] = t.wanted;
    o["wantedDone"] = t.wantedDone;
    o["downloadRate"] = t.downloadRate;
    o["uploadRate"] = t.uploadRate;
    o["peers"] = t.peers;
    o["seeds"] = t.seeds;
    o["swarmSeeds"] = t.swarmSeeds;
    o["swarmPeers"] = t.swarmPeers;
    o["uploadLimit"] = t.uploadLimit;
    o["downloadLimit"] = t.downloadLimit;
    o["sequential"] = t.sequential;
    o["error"] = t.error;
    o["savePath"] = t.savePath;
    o["checkingRate"] = t.checkingRate ? Json(static_cast<double>(*t.checkingRate)) : Json();
    auto eta = t.checkingETA();
    o["checkingETA"] = eta ? Json(*eta) : Json();
    o["displayProgress"] = t.displayProgress();
    return o;
}

Json CommandLayer::idleUi() {
    return Json{{"selection", Json::array()},
                {"tab", "files"},
                {"filter", "all"},
                {"addSheet", ""},
                {"magnetSheet", false},
                {"layout", "grid"},
                {"sort", "newest"},
                {"details", false},
                {"search", ""},
                {"contents", ""},
                {"transferDetailsCollapsed", false},
                {"settings", false},
                {"settingsPage", "downloads"}};
}

Json CommandLayer::idlePlayer() {
    return Json{{"loaded", false},
                {"position", 0.0},
                {"duration", 0.0},
                {"paused", false},
                {"buffering", false},
                {"waitingAfterSeek", false},
                {"cacheTime", 0.0},
                {"ended", false},
                {"hasVideo", false},
                {"error", ""},
                {"controlsVisible", false},
                {"volume", 100.0},
                {"tracksReadyAfter", -1.0},
                {"firstFrameAfter", -1.0},
                {"downloadedRanges", 0},
                {"audio", Json::array()},
                {"subtitles", Json::array()},
                {"next", ""}};
}

Json CommandLayer::playerState(const PlayerModel& p) {
    auto next = p.nextFile();
    Json doc = Json{{"loaded", p.loaded()},
                    {"position", p.position()},
                    {"duration", p.duration()},
                    {"paused", p.paused()},
                    {"buffering", p.buffering()},
                    {"waitingAfterSeek", p.waitingAfterSeek()},
                    {"cacheTime", p.cacheTime()},
                    {"ended", p.ended()},
                    {"hasVideo", p.hasVideo()},
                    {"error", p.error().value_or("")},
                    {"controlsVisible", p.controlsVisible()},
                    {"volume", p.volume()},
                    {"tracksReadyAfter", p.tracksReadyAfter().value_or(-1.0)},
                    {"firstFrameAfter", p.firstFrameAfter().value_or(-1.0)},
                    {"downloadedRanges", p.downloadedRanges().size()},
                    {"audio", trackObjects(p.audioOptions())},
                    {"subtitles", trackObjects(p.subtitleOptions())},
                    {"next", next ? lastComponent(next->path) : std::string()}};
    if (const auto& item = p.item())
        doc["item"] = Json{{"id", item->torrentID},
                           {"file", item->file.i},
                           {"name", lastComponent(item->file.path)}};
    return doc;
}

Json CommandLayer::idleOffers() {
    return Json{{"visible", false},
                {"presented", false},
                {"refreshing", false},
                {"sheetCount", 0},
                {"page", 0},
                {"pages", 0},
                {"pageOffers", Json::array()},
                {"offers", Json::array()}};
}

void CommandLayer::openWindow(const std::string& identifier) const {
    if (m_sources.openWindow)
        m_sources.openWindow(identifier);
}

QWidget* CommandLayer::window(const std::string& name) const {
    return WindowLookup::find(name);
}

std::string CommandLayer::encode(const Json& value) {
    if (!value.is_object() && !value.is_array())
        return "{}";
    try {
        return value.dump(-1, ' ', false, Json::error_handler_t::replace);
    } catch (const Json::exception&) {
        return "{}";
    }
}

void CommandLayer::appendTorrents(std::string& out) const {
    m_texts.appendTorrents(out);
}

Json CommandLayer::documentWithout() const {
    const SessionInfo& s = m_engine.sessionInfo();
    Json session = {{"download", s.download},
                    {"upload", s.upload},
                    {"dhtNodes", s.dhtNodes},
                    {"incoming", s.incoming},
                    {"listening", s.listening},
                    {"listenErrors", s.listenErrors},
                    {"banned", s.banned},
                    {"portmap", s.portmap},
                    // The address itself never leaves the process.
                    {"externalIP", s.externalIP.empty() ? "" : "set"}};

    Json trackers = {{"fetched", m_engine.settings().fetchedTrackers.size()},
                     {"status", m_engine.trackerFetchStatus().value_or("")}};

    Json doc = Json::object();
    doc["session"] = std::move(session);
    doc["ui"] = m_sources.ui ? m_sources.ui() : idleUi();
    doc["player"] = m_sources.player ? playerState(*m_sources.player) : idlePlayer();
    doc["trackers"] = std::move(trackers);
    doc["toast"] = m_engine.toast().value_or("");
    return doc;
}

Json CommandLayer::state() const {
    Json doc = documentWithout();
    Json torrents = Json::array();
    for (const TorrentStatus& t : m_engine.torrents())
        torrents.push_back(torrentObject(t));
    doc["torrents"] = std::move(torrents);
    return doc;
}

std::string CommandLayer::stateText() const {
    Json doc = documentWithout();
    // Written as encode() writes the whole document: keys in order, the
    // torrents' array spliced in where its key sorts.
    std::string out = "{";
    bool placed = false;
    auto place = [&] {
        if (out.size() > 1)
            out += ',';
        out += "\"torrents\":";
        appendTorrents(out);
        placed = true;
    };
    for (const auto& [key, value] : doc.items()) {
        if (!placed && key > std::string_view("torrents"))
            place();
        if (out.size() > 1)
            out += ',';
        out += Json(key).dump(-1, ' ', false, Json::error_handler_t::replace);
        out += ':';
        out += value.dump(-1, ' ', false, Json::error_handler_t::replace);
    }
    if (!placed)
        place();
    out += '}';
    return out;
}

std::expected<void, std::string>
CommandLayer::setTorrentLimits(const std::string& id, std::int64_t downKiB, std::int64_t upKiB,
                               std::int64_t connections, std::int64_t uploadSlots) {
    constexpr std::int64_t low = std::numeric_limits<int>::min();
    constexpr std::int64_t high = std::numeric_limits<int>::max();
    if (!validLimitKiB(downKiB) || !validLimitKiB(upKiB) || connections < low ||
        connections > high || uploadSlots < low || uploadSlots > high)
        return std::unexpected(std::string("limits"));
    if (m_engine.session())
        tb_set_limits(m_engine.session(), id.c_str(), static_cast<int>(downKiB * 1024),
                      static_cast<int>(upKiB * 1024), static_cast<int>(connections),
                      static_cast<int>(uploadSlots));
    m_engine.poll();
    return {};
}

} // namespace tevro
