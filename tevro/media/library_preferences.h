#pragma once

// How the user looks at the library: layout, sort order and whether the
// transfer details panel is collapsed; stored as "library.json".

#include <filesystem>
#include <system_error>

#include "tevro/core/file_check.h"
#include "tevro/core/json_value.h"
#include "tevro/media/library_layout.h"
#include "tevro/media/library_sort.h"

namespace tevro {

struct LibraryPreferences {
    LibraryLayout layout = LibraryLayout::grid;
    LibrarySort sort = LibrarySort::newest;
    bool transferDetailsCollapsed = false;

    bool operator==(const LibraryPreferences&) const = default;

    // The stored preferences, or all defaults when the file is missing,
    // unreadable or does not decode; with `check` a damaged file is set aside
    // and described there (Storage::loadSettings).
    static LibraryPreferences load(const std::filesystem::path& path, FileCheck* check = nullptr);
    // Written whole through a ".tmp" file; false when writing fails, with
    // the reason in `error` when given.
    bool save(const std::filesystem::path& path, std::error_code* error = nullptr) const;
};

// Keys "layout", "sort", "transferDetailsCollapsed", all written. Decoding:
// a missing or null key takes its default; any other value that does not
// decode fails the whole record (DecodeError).
void to_json(Json& j, const LibraryPreferences& v);
void from_json(const Json& j, LibraryPreferences& v);

} // namespace tevro
