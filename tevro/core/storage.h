#pragma once

// The data folder and the application's small JSON files: pretty-printed with
// sorted keys, written to "<name>.tmp" and renamed into place.

#include <cstddef>
#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include <sys/types.h>

#include "tevro/core/app_settings.h"
#include "tevro/core/file_check.h"
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
// target, creating missing parent folders. False when any step fails, with
// the reason in `error` when given; the old file then stays as it was.
bool writeAtomically(const std::filesystem::path& target, const std::string& bytes,
                     mode_t mode = 0644, std::error_code* error = nullptr);

// encode() then writeAtomically().
bool save(const Json& value, const std::filesystem::path& target, mode_t mode = 0644,
          std::error_code* error = nullptr);

std::optional<std::string> read(const std::filesystem::path& path);
// The whole file unless it is larger than `maxBytes` (file_too_large then).
std::expected<std::string, std::error_code> read(const std::filesystem::path& path,
                                                 std::size_t maxBytes);

// Larger than any of the application's own files ever gets.
inline constexpr std::size_t kMaxDataFileBytes = 64u << 20;

// Reads a JSON file of the data folder: its value, or nothing with `check`
// saying why (missing, unreadable; too large or not JSON: set aside).
std::optional<Json> readJson(const std::filesystem::path& path, FileCheck& check);

// The loaders: a damaged file gives what could be read of it (defaults for
// the rest) and, with `check`, is set aside and described there. Without
// `check` nothing on disk changes.
// Settings are read tolerantly: every valid key counts.
AppSettings loadSettings(const std::filesystem::path& path, FileCheck* check = nullptr);
// Holds a proxy password: owner-only.
bool saveSettings(const AppSettings& settings, const std::filesystem::path& path,
                  std::error_code* error = nullptr);

// Each entry is read strictly; an entry that does not decode costs only itself.
TorrentMetaMap loadMeta(const std::filesystem::path& path, FileCheck* check = nullptr);
bool saveMeta(const TorrentMetaMap& meta, const std::filesystem::path& path,
              std::error_code* error = nullptr);

} // namespace tevro::Storage
