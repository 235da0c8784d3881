#pragma once

// Whole-file reads and atomic replacement for the kit's small files.

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace quorvel {

// The file's bytes, or nothing when it cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& path);

// Writes `bytes` beside `path` (".tmp") and renames it into place, so a reader
// sees the old file or the new one, never a part. The folder must exist.
std::error_code writeFileAtomically(const std::filesystem::path& path, const std::string& bytes);

} // namespace quorvel
