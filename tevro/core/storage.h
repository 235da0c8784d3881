#pragma once

// The data folder and the application's small JSON files: pretty-printed with
// sorted keys, written to "<name>.tmp" and renamed into place.

#include <filesystem>
#include <optional>
#include <string>

#include <sys/types.h>

#include "tevro/core/app_settings.h"
#include "tevro/core/json_value.h"
#include "tevro/core/torrent_meta.h"

namespace tevro::Storage {

// TEVRO_HOME when set and not empty, else "Tevro" in the user's data folder.
// Computed once per process.
const std::filesystem::path& home();
// The same rule, evaluated now.
std::filesystem::path resolveHome();

inline constexpr const char* kSettingsFile = "settings.json";
inline constexpr const char* kTorrentsFile = "torrents.json";
inline constexpr const char* kLibraryFile = "library.json";

// Two-space indentation, " : " between key and value, sorted keys, slashes
// escaped, no trailing line break; invalid UTF-8 becomes U+FFFD.
std::string encode(const Json& value);

// Writes bytes to "<target>.tmp" with `mode`, syncs and renames it over the
// target, creating missing parent folders. False when any step fails; the old
// file then stays as it was.
bool writeAtomically(const std::filesystem::path& target, const std::string& bytes,
                     mode_t mode = 0644);

// encode() then writeAtomically().
bool save(const Json& value, const std::filesystem::path& target, mode_t mode = 0644);

std::optional<std::string> read(const std::filesystem::path& path);

// Copies an unreadable file to "<name>.corrupt" so the next save cannot lose it.
void keepCorrupt(const std::filesystem::path& path);

// Tolerant load: defaults when the file is missing or not a JSON object.
AppSettings loadSettings(const std::filesystem::path& path);
// Holds a proxy password: owner-only.
bool saveSettings(const AppSettings& settings, const std::filesystem::path& path);

// Strict load: an empty map when anything in the file fails to decode.
TorrentMetaMap loadMeta(const std::filesystem::path& path);
bool saveMeta(const TorrentMetaMap& meta, const std::filesystem::path& path);

} // namespace tevro::Storage
