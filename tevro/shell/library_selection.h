#pragma once

// What the library shows, counts and acts on: the torrents that pass the
// sidebar filter and the search, in the order of the layout, and the one
// torrent the detail pane follows. Pure functions of the engine's list and the
// window state; recomputed on each read.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tevro/core/torrent_status.h"
#include "tevro/media/library_preferences.h"
#include "tevro/shell/main_ui_state.h"

namespace tevro {

// A sortable table column's key.
enum class TableSortKey { name, wanted, progress, state, added };

struct TableSortComparator {
    TableSortKey key = TableSortKey::added;
    bool ascending = false;
    bool operator==(const TableSortComparator&) const = default;
};

// The table's order: comparators in sequence, the first deciding first. It
// starts as newest added first.
using TableSortOrder = std::vector<TableSortComparator>;
inline TableSortOrder defaultTableSortOrder() {
    return {{TableSortKey::added, false}};
}

namespace LibrarySelection {

bool passes(const TorrentStatus& torrent, TorrentFilter filter);

// The search text as matched: spaces and tabs trimmed at both ends, lower case.
std::string query(const std::string& search);

// Name contains the query, or else the cleaned title does, ignoring case.
bool matches(const TorrentStatus& torrent, const std::string& query);

struct Inputs {
    TorrentFilter filter = TorrentFilter::all;
    std::string search;
    LibraryPreferences preferences;
    TableSortOrder sortOrder = defaultTableSortOrder();
    bool operator==(const Inputs&) const = default;
};

// Where a stands against b in display order: negative before, positive after;
// zero only for the table's ties, which keep the engine's order.
int compare(const Inputs& inputs, const TorrentStatus& a, const TorrentStatus& b);

std::vector<TorrentStatus> visible(const std::vector<TorrentStatus>& torrents,
                                   const Inputs& inputs);

// The selected torrent the detail pane shows: the only selected id when one is
// selected, else the first selected one in display order; none when no
// selected torrent is on display.
std::optional<std::string> primary(const std::vector<TorrentStatus>& visible,
                                   const std::set<std::string>& selection);

// Torrents per filter, ignoring search and selection.
std::map<TorrentFilter, int> counts(const std::vector<TorrentStatus>& torrents);

} // namespace LibrarySelection

} // namespace tevro
