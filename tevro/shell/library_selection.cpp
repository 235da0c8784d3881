#include "tevro/shell/library_selection.h"

#include <algorithm>
#include <array>
#include <iterator>

#include <QString>

#include "tevro/media/library_sort.h"
#include "tevro/media/localized_compare.h"
#include "tevro/media/media_presentation.h"

namespace tevro::LibrarySelection {

bool passes(const TorrentStatus& t, TorrentFilter filter) {
    switch (filter) {
    case TorrentFilter::all:
        return true;
    case TorrentFilter::downloading:
        return !t.paused && !t.finished && !t.seeding;
    case TorrentFilter::seeding:
        return t.seeding && !t.paused;
    case TorrentFilter::completed:
        return t.finished || t.seeding;
    case TorrentFilter::paused:
        return t.paused;
    case TorrentFilter::active:
        return t.downloadRate > 0 || t.uploadRate > 0;
    case TorrentFilter::errors:
        return !t.error.empty();
    }
    return false;
}

std::string query(const std::string& search) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    auto begin = std::ranges::find_if_not(search, blank);
    auto end = std::find_if_not(search.rbegin(), search.rend(), blank).base();
    if (begin >= end)
        return {};
    return QString::fromStdString(std::string(begin, end)).toLower().toStdString();
}

bool matches(const TorrentStatus& t, const std::string& q) {
    if (q.empty())
        return true;
    QString needle = QString::fromStdString(q);
    if (QString::fromStdString(t.name).contains(needle, Qt::CaseInsensitive))
        return true;
    return QString::fromStdString(MediaPresentation(t.name).title)
        .contains(needle, Qt::CaseInsensitive);
}

namespace {

// Negative, zero or positive for a before, equal to, or after b by one key, ascending.
int compareBy(TableSortKey key, const TorrentStatus& a, const TorrentStatus& b) {
    auto cmp = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (key) {
    case TableSortKey::name:
        return localizedStandardCompare(a.name, b.name);
    case TableSortKey::wanted:
        return cmp(a.wanted, b.wanted);
    case TableSortKey::progress:
        return cmp(a.displayProgress(), b.displayProgress());
    case TableSortKey::state:
        return a.state.compare(b.state) < 0 ? -1 : (a.state == b.state ? 0 : 1);
    case TableSortKey::added:
        return cmp(a.added, b.added);
    }
    return 0;
}

} // namespace

int compare(const Inputs& inputs, const TorrentStatus& a, const TorrentStatus& b) {
    if (inputs.preferences.layout != LibraryLayout::table) {
        if (orderedBefore(inputs.preferences.sort, a, b))
            return -1;
        return orderedBefore(inputs.preferences.sort, b, a) ? 1 : 0;
    }
    for (const auto& c : inputs.sortOrder) {
        int r = compareBy(c.key, a, b);
        if (r != 0)
            return c.ascending ? r : -r;
    }
    return 0;
}

std::vector<TorrentStatus> visible(const std::vector<TorrentStatus>& torrents,
                                   const Inputs& inputs) {
    std::string q = query(inputs.search);
    std::vector<TorrentStatus> kept;
    // Kept for as long as the list shows: no slack from growing it (a
    // search, slower to match, is matched once).
    if (q.empty())
        kept.reserve(std::size_t(std::ranges::count_if(
            torrents, [&](const TorrentStatus& t) { return passes(t, inputs.filter); })));
    for (const auto& t : torrents)
        if (passes(t, inputs.filter) && matches(t, q))
            kept.push_back(t);
    if (inputs.preferences.layout != LibraryLayout::table)
        return ordered(inputs.preferences.sort, std::move(kept));
    std::ranges::stable_sort(kept, [&](const TorrentStatus& a, const TorrentStatus& b) {
        return compare(inputs, a, b) < 0;
    });
    return kept;
}

std::optional<std::string> primary(const std::vector<TorrentStatus>& visible,
                                   const std::set<std::string>& selection) {
    if (selection.empty())
        return std::nullopt;
    auto first = std::ranges::find_if(
        visible, [&](const TorrentStatus& t) { return selection.contains(t.id); });
    if (first == visible.end())
        return std::nullopt;
    if (selection.size() == 1)
        return *selection.begin();
    return first->id;
}

std::map<TorrentFilter, int> counts(const std::vector<TorrentStatus>& torrents) {
    // One pass over the torrents for every filter.
    std::array<int, std::size(kAllTorrentFilters)> n{};
    for (const auto& t : torrents)
        for (std::size_t i = 0; i < n.size(); ++i)
            n[i] += passes(t, kAllTorrentFilters[i]);
    std::map<TorrentFilter, int> result;
    for (std::size_t i = 0; i < n.size(); ++i)
        result[kAllTorrentFilters[i]] = n[i];
    return result;
}

} // namespace tevro::LibrarySelection
