#pragma once

// The state folder's files: atomic writes, whole reads, and the presence file
// ("v1", then one completed file index per line).

#include <cstddef>
#include <expected>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

namespace tevro::bridge::state_files {

// Writes `bytes` to path + ".tmp", syncs it, renames it over `path` and syncs
// the folder; on any failure the ".tmp" file is deleted and the old file kept.
// Returns success, and the reason of a failure in `error` when given.
bool writeAtomically(const std::string& path, std::string_view bytes,
                     std::error_code* error = nullptr);

// Syncs the folder holding `path`, so a rename or removal in it is durable.
void syncFolderOf(const std::string& path);

// The whole file; a missing or unreadable file reads as empty.
std::string readWhole(const std::string& path);
// The whole file, or why it cannot be read; larger than `maxBytes` is
// file_too_large.
std::expected<std::string, std::error_code> read(const std::string& path, std::size_t maxBytes);

// "v1" followed by indices; any other first word gives the empty set, and
// negative or non-numeric words are skipped.
std::set<int> parsePresence(std::string_view text);
std::string formatPresence(const std::set<int>& indices);

std::string resumePath(const std::string& dir, const std::string& id);
std::string presencePath(const std::string& dir, const std::string& id);
std::string sessionStatePath(const std::string& dir);

} // namespace tevro::bridge::state_files
