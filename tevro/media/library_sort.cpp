#include "tevro/media/library_sort.h"

#include <algorithm>
#include <string>

#include "tevro/media/localized_compare.h"

namespace tevro {

std::string_view rawValue(LibrarySort sort) {
    switch (sort) {
    case LibrarySort::newest:
        return "newest";
    case LibrarySort::name:
        return "name";
    case LibrarySort::progress:
        return "progress";
    case LibrarySort::size:
        return "size";
    }
    return "newest";
}

std::optional<LibrarySort> librarySortFromRaw(std::string_view raw) {
    for (LibrarySort s : kAllLibrarySorts)
        if (rawValue(s) == raw)
            return s;
    return std::nullopt;
}

void to_json(Json& j, LibrarySort sort) {
    j = std::string(rawValue(sort));
}

void from_json(const Json& j, LibrarySort& sort) {
    auto raw = json::as<std::string>(j);
    auto value = raw ? librarySortFromRaw(*raw) : std::nullopt;
    if (!value)
        throw DecodeError("sort: not a sort order");
    sort = *value;
}

namespace {

// A magnet without metadata has nothing wanted yet and counts as not started;
// a torrent with metadata and nothing wanted has nothing left to do.
double progressKey(const TorrentStatus& t) {
    if (t.wanted >= 1)
        return static_cast<double>(t.wantedDone) / static_cast<double>(t.wanted);
    return t.hasMetadata ? 1.0 : 0.0;
}

bool tieBreakLess(const TorrentStatus& a, const TorrentStatus& b) {
    int byName = localizedStandardCompare(a.name, b.name);
    if (byName != 0)
        return byName < 0;
    return a.id < b.id;
}

} // namespace

bool orderedBefore(LibrarySort sort, const TorrentStatus& a, const TorrentStatus& b) {
    switch (sort) {
    case LibrarySort::newest:
        if (a.added != b.added)
            return a.added > b.added;
        break;
    case LibrarySort::name:
        break;
    case LibrarySort::progress: {
        double pa = progressKey(a), pb = progressKey(b);
        if (pa != pb)
            return pa > pb;
        break;
    }
    case LibrarySort::size:
        if (a.total != b.total)
            return a.total > b.total;
        break;
    }
    return tieBreakLess(a, b);
}

std::vector<TorrentStatus> ordered(LibrarySort sort, std::vector<TorrentStatus> torrents) {
    std::stable_sort(torrents.begin(), torrents.end(),
                     [sort](const TorrentStatus& a, const TorrentStatus& b) {
                         return orderedBefore(sort, a, b);
                     });
    return torrents;
}

} // namespace tevro
