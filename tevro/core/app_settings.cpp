#include "tevro/core/app_settings.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <set>

#include "tevro/core/key_value_text.h"
#include "tevro/core/machine_info.h"
#include "tevro/core/text_lines.h"

namespace tevro {

namespace {

template <class E, size_t N>
std::optional<E> fromRaw(std::string_view raw, const std::pair<E, std::string_view> (&table)[N]) {
    for (const auto& [value, name] : table)
        if (name == raw)
            return value;
    return std::nullopt;
}

template <class E, size_t N>
std::string_view toRaw(E v, const std::pair<E, std::string_view> (&table)[N]) {
    for (const auto& [value, name] : table)
        if (value == v)
            return name;
    return table[0].second;
}

const std::pair<EncryptionMode, std::string_view> kEncryption[] = {
    {EncryptionMode::allow, "allow"},
    {EncryptionMode::prefer, "prefer"},
    {EncryptionMode::require, "require"}};
const std::pair<ProxyKind, std::string_view> kProxy[] = {
    {ProxyKind::none, "none"}, {ProxyKind::socks5, "socks5"}, {ProxyKind::http, "http"}};
const std::pair<SubtitleMode, std::string_view> kSubtitle[] = {{SubtitleMode::autoMode, "auto"},
                                                               {SubtitleMode::always, "always"},
                                                               {SubtitleMode::never, "never"}};

} // namespace

std::string_view rawValue(EncryptionMode v) {
    return toRaw(v, kEncryption);
}
std::string_view rawValue(ProxyKind v) {
    return toRaw(v, kProxy);
}
std::string_view rawValue(SubtitleMode v) {
    return toRaw(v, kSubtitle);
}
std::optional<EncryptionMode> encryptionModeFromRaw(std::string_view r) {
    return fromRaw(r, kEncryption);
}
std::optional<ProxyKind> proxyKindFromRaw(std::string_view r) {
    return fromRaw(r, kProxy);
}
std::optional<SubtitleMode> subtitleModeFromRaw(std::string_view r) {
    return fromRaw(r, kSubtitle);
}

const std::vector<std::string> AppSettings::leecherClients = {
    "-XL", "-SD", "-XF", "-QD", "-BN", "-DL", "-TT", "Xunlei", "Thunder", "QQDownload", "Baidu"};

AppSettings::AppSettings() {
    auto m = machine();
    downloadDirectory = (std::filesystem::path(m->downloadsPath()) / "Tevro").string();
    NetworkProfile detected = detectNetworkProfile(m->regionCode(), m->timeZoneId());
    profile = detected;
    listenPort = 20000 + static_cast<std::int64_t>(m->randomUniform(40000));
    // `standard` keeps "prefer": adopt(standard) would lower it to "allow".
    if (detected != NetworkProfile::standard)
        adopt(detected);
}

void AppSettings::adopt(NetworkProfile p) {
    profile = p;
    switch (p) {
    case NetworkProfile::standard:
        encryption = EncryptionMode::allow;
        break;
    case NetworkProfile::russia:
        encryption = EncryptionMode::prefer;
        trackerMirrors = true;
        break;
    case NetworkProfile::china:
        encryption = EncryptionMode::prefer;
        banLeechers = true;
        ipv6 = true;
        break;
    }
    fetchedTrackers.clear();
    trackersFetchedAt.reset();
}

namespace {

template <class E>
void tolerantEnum(const Json& j, const char* key, E& out,
                  std::optional<E> (*parse)(std::string_view)) {
    std::string raw;
    bool present = false;
    if (auto it = j.find(key); it != j.end() && it->is_string()) {
        raw = it->get<std::string>();
        present = true;
    }
    if (present)
        if (auto v = parse(raw))
            out = *v;
}

// A text that goes into a key=value line: a line break makes it malformed.
void tolerantLine(const Json& j, const char* key, std::string& out) {
    std::string v = out;
    json::tolerant(j, key, v);
    if (isSafeTextValue(v))
        out = std::move(v);
}

} // namespace

std::optional<AppSettings> AppSettings::decode(const Json& j) {
    if (!j.is_object())
        return std::nullopt;
    AppSettings s;
    using json::tolerant;
    tolerantLine(j, "downloadDirectory", s.downloadDirectory);
    tolerant(j, "addPaused", s.addPaused);
    tolerant(j, "activeDownloads", s.activeDownloads);
    tolerant(j, "activeSeeds", s.activeSeeds);
    tolerant(j, "ratioLimit", s.ratioLimit);
    tolerant(j, "seedTimeLimitMinutes", s.seedTimeLimitMinutes);
    tolerant(j, "downloadLimitKiB", s.downloadLimitKiB);
    tolerant(j, "uploadLimitKiB", s.uploadLimitKiB);
    tolerant(j, "altDownloadLimitKiB", s.altDownloadLimitKiB);
    tolerant(j, "altUploadLimitKiB", s.altUploadLimitKiB);
    tolerant(j, "altSpeedEnabled", s.altSpeedEnabled);
    tolerant(j, "maxConnections", s.maxConnections);
    tolerant(j, "maxConnectionsPerTorrent", s.maxConnectionsPerTorrent);
    tolerant(j, "uploadSlotsPerTorrent", s.uploadSlotsPerTorrent);
    tolerantEnum(j, "profile", s.profile, networkProfileFromRaw);
    tolerant(j, "listenPort", s.listenPort);
    tolerant(j, "upnp", s.upnp);
    tolerant(j, "ipv6", s.ipv6);
    tolerant(j, "utp", s.utp);
    tolerant(j, "dht", s.dht);
    tolerant(j, "lsd", s.lsd);
    tolerantEnum(j, "encryption", s.encryption, encryptionModeFromRaw);
    tolerant(j, "banLeechers", s.banLeechers);
    tolerant(j, "trackerMirrors", s.trackerMirrors);
    tolerant(j, "autoTrackers", s.autoTrackers);
    tolerant(j, "customTrackers", s.customTrackers);
    tolerant(j, "fetchedTrackers", s.fetchedTrackers);
    if (auto it = j.find("trackersFetchedAt"); it != j.end() && it->is_number()) {
        if (auto date = dateFromReferenceSeconds(it->get<double>()))
            s.trackersFetchedAt = date;
    }
    tolerantEnum(j, "proxyKind", s.proxyKind, proxyKindFromRaw);
    tolerantLine(j, "proxyHost", s.proxyHost);
    tolerant(j, "proxyPort", s.proxyPort);
    tolerantLine(j, "proxyUser", s.proxyUser);
    tolerantLine(j, "proxyPassword", s.proxyPassword);
    tolerant(j, "proxyTrackersOnly", s.proxyTrackersOnly);
    tolerant(j, "audioLanguages", s.audioLanguages);
    tolerant(j, "subtitleLanguages", s.subtitleLanguages);
    tolerantEnum(j, "subtitleMode", s.subtitleMode, subtitleModeFromRaw);
    tolerant(j, "rememberTracks", s.rememberTracks);
    tolerant(j, "resumePlayback", s.resumePlayback);
    tolerant(j, "autoplayNext", s.autoplayNext);
    tolerant(j, "hardwareDecoding", s.hardwareDecoding);
    return s;
}

Json AppSettings::encode() const {
    Json j = Json::object();
    j["downloadDirectory"] = downloadDirectory;
    j["addPaused"] = addPaused;
    j["activeDownloads"] = activeDownloads;
    j["activeSeeds"] = activeSeeds;
    j["ratioLimit"] = ratioLimit;
    j["seedTimeLimitMinutes"] = seedTimeLimitMinutes;
    j["downloadLimitKiB"] = downloadLimitKiB;
    j["uploadLimitKiB"] = uploadLimitKiB;
    j["altDownloadLimitKiB"] = altDownloadLimitKiB;
    j["altUploadLimitKiB"] = altUploadLimitKiB;
    j["altSpeedEnabled"] = altSpeedEnabled;
    j["maxConnections"] = maxConnections;
    j["maxConnectionsPerTorrent"] = maxConnectionsPerTorrent;
    j["uploadSlotsPerTorrent"] = uploadSlotsPerTorrent;
    j["profile"] = rawValue(profile);
    j["listenPort"] = listenPort;
    j["upnp"] = upnp;
    j["ipv6"] = ipv6;
    j["utp"] = utp;
    j["dht"] = dht;
    j["lsd"] = lsd;
    j["encryption"] = rawValue(encryption);
    j["banLeechers"] = banLeechers;
    j["trackerMirrors"] = trackerMirrors;
    j["autoTrackers"] = autoTrackers;
    j["customTrackers"] = customTrackers;
    j["fetchedTrackers"] = fetchedTrackers;
    if (trackersFetchedAt)
        j["trackersFetchedAt"] = toReferenceSeconds(*trackersFetchedAt);
    j["proxyKind"] = rawValue(proxyKind);
    j["proxyHost"] = proxyHost;
    j["proxyPort"] = proxyPort;
    j["proxyUser"] = proxyUser;
    j["proxyPassword"] = proxyPassword;
    j["proxyTrackersOnly"] = proxyTrackersOnly;
    j["audioLanguages"] = audioLanguages;
    j["subtitleLanguages"] = subtitleLanguages;
    j["subtitleMode"] = rawValue(subtitleMode);
    j["rememberTracks"] = rememberTracks;
    j["resumePlayback"] = resumePlayback;
    j["autoplayNext"] = autoplayNext;
    j["hardwareDecoding"] = hardwareDecoding;
    return j;
}

std::vector<std::string> AppSettings::extraTrackers() const {
    if (!autoTrackers && customTrackers.empty())
        return {};
    std::vector<std::string> list = splitTrimmedLines(customTrackers);
    if (autoTrackers) {
        if (profile == NetworkProfile::russia)
            list.push_back(trackers::kLocalRetracker);
        const auto& pub = fetchedTrackers.empty() ? trackers::kFallbackPublic : fetchedTrackers;
        list.insert(list.end(), pub.begin(), pub.end());
        list.insert(list.end(), trackers::kAlwaysAdded.begin(), trackers::kAlwaysAdded.end());
    }
    std::set<std::string> seen;
    std::vector<std::string> out;
    for (auto& t : list)
        if (seen.insert(t).second)
            out.push_back(std::move(t));
    return out;
}

namespace {

std::map<std::string, std::string> basePack(NetworkProfile p) {
    switch (p) {
    case NetworkProfile::standard:
        return {{"connection_speed", "30"},
                {"peer_connect_timeout", "15"},
                {"request_timeout", "60"},
                {"peer_timeout", "120"},
                {"tracker_completion_timeout", "30"},
                {"tracker_receive_timeout", "10"},
                {"max_out_request_queue", "500"},
                {"send_buffer_watermark", "1048576"}};
    case NetworkProfile::russia:
        return {{"connection_speed", "50"},
                {"peer_connect_timeout", "20"},
                {"request_timeout", "45"},
                {"peer_timeout", "180"},
                {"handshake_timeout", "20"},
                {"tracker_completion_timeout", "45"},
                {"tracker_receive_timeout", "20"},
                {"max_out_request_queue", "1500"},
                {"max_allowed_in_request_queue", "2000"},
                {"request_queue_time", "5"},
                {"send_buffer_watermark", "4194304"},
                {"send_buffer_watermark_factor", "150"},
                {"max_failcount", "5"},
                {"min_reconnect_time", "30"},
                {"stop_tracker_timeout", "3"}};
    case NetworkProfile::china:
        return {{"connection_speed", "60"},
                {"peer_connect_timeout", "25"},
                {"request_timeout", "60"},
                {"peer_timeout", "240"},
                {"handshake_timeout", "25"},
                {"tracker_completion_timeout", "60"},
                {"tracker_receive_timeout", "25"},
                {"max_out_request_queue", "2000"},
                {"max_allowed_in_request_queue", "3000"},
                {"request_queue_time", "6"},
                {"send_buffer_watermark", "6291456"},
                {"send_buffer_watermark_factor", "200"},
                {"max_failcount", "8"},
                {"min_reconnect_time", "20"},
                {"stop_tracker_timeout", "3"}};
    }
    return {};
}

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// KiB/s to bytes/s for libtorrent, which holds rates in a 32-bit int.
std::int64_t rateBytes(std::int64_t kib) {
    if (kib <= 0)
        return 0;
    if (kib > kInt32Max / 1024)
        return kInt32Max;
    return std::min(kib * 1024, kInt32Max);
}

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_add_overflow(a, b, &r))
        return a > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    return r;
}

std::string flag(bool b) {
    return b ? "1" : "0";
}

std::string join(const std::vector<std::string>& items, const char* sep) {
    std::string out;
    for (const auto& s : items) {
        if (!out.empty())
            out += sep;
        out += s;
    }
    return out;
}

} // namespace

std::string AppSettings::libtorrentSettings() const {
    std::map<std::string, std::string> m = basePack(profile);
    std::string port = std::to_string(std::clamp<std::int64_t>(listenPort, 1024, 65535));
    m["user_agent"] = "Tevro/0.1 libtorrent/2.1";
    m["listen_interfaces"] = "0.0.0.0:" + port + (ipv6 ? ",[::]:" + port : "");
    m["enable_dht"] = flag(dht);
    m["enable_lsd"] = flag(lsd);
    m["enable_upnp"] = flag(upnp);
    m["enable_natpmp"] = flag(upnp);
    m["enable_outgoing_utp"] = flag(utp);
    m["enable_incoming_utp"] = flag(utp);
    m["dht_bootstrap_nodes"] = join(dhtRouters(profile), ",");
    m["announce_to_all_trackers"] = "1";
    m["announce_to_all_tiers"] = "1";
    m["validate_https_trackers"] = "1";
    m["download_rate_limit"] =
        std::to_string(rateBytes(altSpeedEnabled ? altDownloadLimitKiB : downloadLimitKiB));
    m["upload_rate_limit"] =
        std::to_string(rateBytes(altSpeedEnabled ? altUploadLimitKiB : uploadLimitKiB));
    m["connections_limit"] = std::to_string(std::clamp<std::int64_t>(maxConnections, 0, kInt32Max));
    m["active_downloads"] = std::to_string(activeDownloads);
    m["active_seeds"] = std::to_string(activeSeeds);
    m["active_limit"] =
        std::to_string(std::max<std::int64_t>(saturatingAdd(activeDownloads, activeSeeds), 20));
    m["active_checking"] = "1";
    switch (encryption) {
    case EncryptionMode::allow:
        m["out_enc_policy"] = "1", m["in_enc_policy"] = "1";
        m["allowed_enc_level"] = "3", m["prefer_rc4"] = "0";
        break;
    case EncryptionMode::prefer:
        m["out_enc_policy"] = "1", m["in_enc_policy"] = "1";
        m["allowed_enc_level"] = "3", m["prefer_rc4"] = "1";
        break;
    case EncryptionMode::require:
        m["out_enc_policy"] = "0", m["in_enc_policy"] = "0";
        m["allowed_enc_level"] = "2", m["prefer_rc4"] = "1";
        break;
    }
    if (proxyKind == ProxyKind::none) {
        m["proxy_type"] = "0";
    } else {
        bool auth = !proxyUser.empty();
        m["proxy_type"] = proxyKind == ProxyKind::socks5 ? (auth ? "3" : "2") : (auth ? "5" : "4");
        m["proxy_hostname"] = proxyHost;
        m["proxy_port"] = std::to_string(proxyPort);
        m["proxy_username"] = proxyUser;
        m["proxy_password"] = proxyPassword;
        m["proxy_hostnames"] = "1";
        m["proxy_tracker_connections"] = "1";
        m["proxy_peer_connections"] = proxyTrackersOnly ? "0" : "1";
    }
    KeyValueLines lines(m.begin(), m.end());
    return joinKeyValueLines(lines);
}

std::optional<std::string> AppSettings::validationError() const {
    const std::pair<const std::string*, const char*> fields[] = {
        {&downloadDirectory, "Папка загрузок"},
        {&proxyHost, "Адрес прокси-сервера"},
        {&proxyUser, "Имя пользователя прокси"},
        {&proxyPassword, "Пароль прокси"},
    };
    for (const auto& [value, label] : fields)
        if (!isSafeTextValue(*value))
            return std::string(label) + " не может содержать перевод строки";
    return std::nullopt;
}

std::vector<std::string> AppSettings::split(std::string_view text) {
    std::vector<std::string> out;
    std::string cur;
    auto flush = [&] {
        if (!cur.empty())
            out.push_back(std::move(cur));
        cur.clear();
    };
    for (char c : text) {
        if (c == ',' || c == ' ') {
            flush();
            continue;
        }
        cur += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    flush();
    return out;
}

} // namespace tevro
