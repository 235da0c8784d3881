#pragma once

// Every user setting of the application, stored as "settings.json", and what
// is derived from it: the libtorrent settings text and the extra-tracker list.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tevro/core/date.h"
#include "tevro/core/json_value.h"
#include "tevro/core/network_profile.h"

namespace tevro {

enum class EncryptionMode { allow, prefer, require };
enum class ProxyKind { none, socks5, http };
enum class SubtitleMode { autoMode, always, never }; // raw values "auto", "always", "never"

std::string_view rawValue(EncryptionMode v);
std::string_view rawValue(ProxyKind v);
std::string_view rawValue(SubtitleMode v);
std::optional<EncryptionMode> encryptionModeFromRaw(std::string_view raw);
std::optional<ProxyKind> proxyKindFromRaw(std::string_view raw);
std::optional<SubtitleMode> subtitleModeFromRaw(std::string_view raw);

struct AppSettings {
    std::string downloadDirectory;
    bool addPaused = false;
    std::int64_t activeDownloads = 5;
    std::int64_t activeSeeds = 10;
    double ratioLimit = 0;
    std::int64_t seedTimeLimitMinutes = 0;
    std::int64_t downloadLimitKiB = 0;
    std::int64_t uploadLimitKiB = 0;
    std::int64_t altDownloadLimitKiB = 1024;
    std::int64_t altUploadLimitKiB = 128;
    bool altSpeedEnabled = false;
    std::int64_t maxConnections = 0;
    std::int64_t maxConnectionsPerTorrent = 120;
    std::int64_t uploadSlotsPerTorrent = 8;
    NetworkProfile profile = NetworkProfile::standard;
    std::int64_t listenPort = 20000;
    bool upnp = true;
    bool ipv6 = true;
    bool utp = true;
    bool dht = true;
    bool lsd = true;
    EncryptionMode encryption = EncryptionMode::prefer;
    bool banLeechers = false;
    bool trackerMirrors = true;
    bool autoTrackers = true;
    std::string customTrackers;
    std::vector<std::string> fetchedTrackers;
    std::optional<Date> trackersFetchedAt;
    ProxyKind proxyKind = ProxyKind::none;
    std::string proxyHost;
    std::int64_t proxyPort = 1080;
    std::string proxyUser;
    std::string proxyPassword;
    bool proxyTrackersOnly = true;
    std::string audioLanguages = "rus, ru";
    std::string subtitleLanguages = "rus, ru";
    SubtitleMode subtitleMode = SubtitleMode::autoMode;
    bool rememberTracks = true;
    bool resumePlayback = true;
    bool autoplayNext = true;
    bool hardwareDecoding = true;

    // The defaults for this machine: its detected profile, a random listen
    // port in 20000...60000 and the Downloads folder.
    AppSettings();

    bool operator==(const AppSettings&) const = default;

    // Tolerant decoding: starts from the defaults and keeps the default for
    // every missing or malformed key. Fails only when `j` is not an object.
    static std::optional<AppSettings> decode(const Json& j);
    Json encode() const;

    // Switches to a profile with the adjustments it brings.
    void adopt(NetworkProfile p);

    // Custom lines, then the profile's and public trackers, without duplicates.
    std::vector<std::string> extraTrackers() const;

    // The libtorrent settings text: sorted "key=value" lines joined by "\n".
    std::string libtorrentSettings() const;

    // A Russian message naming the first text setting that cannot be stored
    // (a value with a line break would inject lines into the bridge's texts).
    std::optional<std::string> validationError() const;

    // Splits a language list at commas and blanks, lower-cased, in order.
    static std::vector<std::string> split(std::string_view text);

    static const std::vector<std::string> leecherClients;
};

} // namespace tevro
