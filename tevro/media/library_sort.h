#pragma once

// The order of the library's torrents, and how to apply it.

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "tevro/core/json_value.h"
#include "tevro/core/torrent_status.h"

namespace tevro {

enum class LibrarySort { newest, name, progress, size };

// Every case in menu order.
inline constexpr std::array<LibrarySort, 4> kAllLibrarySorts = {
    LibrarySort::newest, LibrarySort::name, LibrarySort::progress, LibrarySort::size};

// "newest", "name", "progress", "size".
std::string_view rawValue(LibrarySort sort);
std::optional<LibrarySort> librarySortFromRaw(std::string_view raw);

// Coded as the raw text; an unknown text throws DecodeError.
void to_json(Json& j, LibrarySort sort);
void from_json(const Json& j, LibrarySort& sort);

// The torrents in the given order, stable: newest (added) first, most
// progress first or largest first, with names in the file manager's order and
// then ids as the tie-break (the whole key for `name`).
std::vector<TorrentStatus> ordered(LibrarySort sort, std::vector<TorrentStatus> torrents);
// The order itself: whether a comes before b (a total order, ids being unique).
bool orderedBefore(LibrarySort sort, const TorrentStatus& a, const TorrentStatus& b);

} // namespace tevro
