#pragma once

// How the library window shows the torrents: cards, rows or a table.

#include <array>
#include <optional>
#include <string_view>

#include "tevro/core/json_value.h"

namespace tevro {

enum class LibraryLayout { grid, list, table };

// Every case in menu order.
inline constexpr std::array<LibraryLayout, 3> kAllLibraryLayouts = {
    LibraryLayout::grid, LibraryLayout::list, LibraryLayout::table};

// "grid", "list", "table".
std::string_view rawValue(LibraryLayout layout);
std::optional<LibraryLayout> libraryLayoutFromRaw(std::string_view raw);

// Coded as the raw text; an unknown text throws DecodeError.
void to_json(Json& j, LibraryLayout layout);
void from_json(const Json& j, LibraryLayout& layout);

} // namespace tevro
