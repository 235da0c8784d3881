#include "tevro/core/torrent_meta.h"

#include <charconv>

namespace tevro {

void to_json(Json& j, const TorrentMeta::TrackChoice& v) {
    j = Json::object();
    if (v.language)
        j["language"] = *v.language;
    if (v.title)
        j["title"] = *v.title;
    if (v.externalName)
        j["externalName"] = *v.externalName;
    j["off"] = v.off;
}

void from_json(const Json& j, TorrentMeta::TrackChoice& v) {
    json::requireObject(j, "track choice");
    v.language = json::optional<std::string>(j, "language");
    v.title = json::optional<std::string>(j, "title");
    v.externalName = json::optional<std::string>(j, "externalName");
    v.off = json::require<bool>(j, "off");
}

void to_json(Json& j, const TorrentMeta& v) {
    j = Json::object();
    Json positions = Json::object();
    for (const auto& [index, seconds] : v.positions)
        positions[std::to_string(index)] = seconds;
    j["positions"] = std::move(positions);
    if (v.audio)
        j["audio"] = *v.audio;
    if (v.subtitle)
        j["subtitle"] = *v.subtitle;
    j["ignoreSeedLimits"] = v.ignoreSeedLimits;
    if (v.lastPlayedFile)
        j["lastPlayedFile"] = *v.lastPlayedFile;
}

void from_json(const Json& j, TorrentMeta& v) {
    json::requireObject(j, "torrent meta");
    auto positions = j.find("positions");
    if (positions == j.end() || !positions->is_object())
        throw DecodeError("positions: missing or not an object");
    v.positions.clear();
    for (const auto& [key, value] : positions->items()) {
        std::int64_t index = 0;
        auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), index);
        if (ec != std::errc() || end != key.data() + key.size() || key.empty())
            throw DecodeError("positions: key is not an integer");
        auto seconds = json::as<double>(value);
        if (!seconds)
            throw DecodeError("positions: value is not a number");
        v.positions[index] = *seconds;
    }
    v.ignoreSeedLimits = json::require<bool>(j, "ignoreSeedLimits");
    v.lastPlayedFile = json::optional<std::int64_t>(j, "lastPlayedFile");
    v.audio.reset();
    v.subtitle.reset();
    if (auto it = j.find("audio"); it != j.end() && !it->is_null())
        v.audio = it->get<TorrentMeta::TrackChoice>();
    if (auto it = j.find("subtitle"); it != j.end() && !it->is_null())
        v.subtitle = it->get<TorrentMeta::TrackChoice>();
}

} // namespace tevro
