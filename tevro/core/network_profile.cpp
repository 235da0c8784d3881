#include "tevro/core/network_profile.h"

#include "tevro/core/machine_info.h"

namespace tevro {

std::string_view rawValue(NetworkProfile p) {
    switch (p) {
    case NetworkProfile::standard:
        return "standard";
    case NetworkProfile::russia:
        return "russia";
    case NetworkProfile::china:
        return "china";
    }
    return "standard";
}

std::optional<NetworkProfile> networkProfileFromRaw(std::string_view raw) {
    for (auto p : {NetworkProfile::standard, NetworkProfile::russia, NetworkProfile::china})
        if (rawValue(p) == raw)
            return p;
    return std::nullopt;
}

NetworkProfile detectNetworkProfile(std::string_view region, std::string_view timeZone) {
    if (region == "CN")
        return NetworkProfile::china;
    for (std::string_view zone : {"Asia/Shanghai", "Asia/Urumqi", "Asia/Chongqing", "Asia/Harbin"})
        if (timeZone == zone)
            return NetworkProfile::china;
    if (region == "RU")
        return NetworkProfile::russia;
    for (std::string_view prefix :
         {"Europe/Moscow", "Asia/Yekaterinburg", "Asia/Novosibirsk", "Asia/Vladivostok",
          "Europe/Samara", "Asia/Omsk", "Asia/Krasnoyarsk", "Asia/Irkutsk"})
        if (timeZone.starts_with(prefix))
            return NetworkProfile::russia;
    return NetworkProfile::standard;
}

NetworkProfile detectedNetworkProfile() {
    auto m = machine();
    return detectNetworkProfile(m->regionCode(), m->timeZoneId());
}

namespace trackers {

const char* const kLocalRetracker = "http://retracker.local/announce";

const std::vector<std::string> kFallbackPublic = {
    "udp://tracker.opentrackr.org:1337/announce",   "udp://open.demonii.com:1337/announce",
    "udp://tracker.openbittorrent.com:80/announce", "udp://exodus.desync.com:6969/announce",
    "udp://tracker.torrent.eu.org:451/announce",    "udp://explodie.org:6969/announce",
    "udp://tracker.theoks.net:6969/announce",
};

const std::vector<std::string> kAlwaysAdded = {
    "http://tracker.openbittorrent.com:80/announce",
    "https://tracker.tamersunion.org:443/announce",
    "https://tracker.gbitt.info:443/announce",
};

const std::vector<std::string> kSourcesBest = {
    "https://ngosang.github.io/trackerslist/trackers_best.txt",
    "https://raw.githubusercontent.com/ngosang/trackerslist/master/trackers_best.txt",
    "https://cdn.jsdelivr.net/gh/ngosang/trackerslist@master/trackers_best.txt",
};

const std::vector<std::string> kSourcesBestAlt = {
    "https://trackerslist.com/best.txt",
    "https://cf.trackerslist.com/best.txt",
    "https://cdn.jsdelivr.net/gh/XIU2/TrackersListCollection@master/best.txt",
    "https://fastly.jsdelivr.net/gh/XIU2/TrackersListCollection@master/best.txt",
};

} // namespace trackers

std::vector<std::string> trackerSources(NetworkProfile p) {
    const auto& first =
        p == NetworkProfile::china ? trackers::kSourcesBestAlt : trackers::kSourcesBest;
    const auto& second =
        p == NetworkProfile::china ? trackers::kSourcesBest : trackers::kSourcesBestAlt;
    std::vector<std::string> out;
    // Every source must at least look like an https URL with a host.
    auto parses = [](const std::string& s) {
        return s.starts_with("https://") && s.size() > 8 && s[8] != '/';
    };
    for (const auto* list : {&first, &second})
        for (const auto& s : *list)
            if (parses(s))
                out.push_back(s);
    return out;
}

std::vector<std::string> dhtRouters(NetworkProfile p) {
    static const std::vector<std::string> standard = {
        "dht.libtorrent.org:25401", "router.bittorrent.com:6881", "router.utorrent.com:6881",
        "dht.transmissionbt.com:6881", "router.bitcomet.com:6881"};
    static const std::string extra = "dht.aelitis.com:6881";
    std::vector<std::string> out;
    if (p == NetworkProfile::china)
        out.push_back(extra);
    out.insert(out.end(), standard.begin(), standard.end());
    if (p == NetworkProfile::russia)
        out.push_back(extra);
    return out;
}

} // namespace tevro
