#include "tevro/media/library_layout.h"

#include <string>

namespace tevro {

std::string_view rawValue(LibraryLayout layout) {
    switch (layout) {
    case LibraryLayout::grid:
        return "grid";
    case LibraryLayout::list:
        return "list";
    case LibraryLayout::table:
        return "table";
    }
    return "grid";
}

std::optional<LibraryLayout> libraryLayoutFromRaw(std::string_view raw) {
    for (LibraryLayout l : kAllLibraryLayouts)
        if (rawValue(l) == raw)
            return l;
    return std::nullopt;
}

void to_json(Json& j, LibraryLayout layout) {
    j = std::string(rawValue(layout));
}

void from_json(const Json& j, LibraryLayout& layout) {
    auto raw = json::as<std::string>(j);
    auto value = raw ? libraryLayoutFromRaw(*raw) : std::nullopt;
    if (!value)
        throw DecodeError("layout: not a layout");
    layout = *value;
}

} // namespace tevro
