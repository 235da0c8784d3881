#include "tevro/shell/library_selection.h"

#include <gtest/gtest.h>

using namespace tevro;

namespace {

TorrentStatus torrent(std::string id, std::string name, std::int64_t added = 0) {
    TorrentStatus t;
    t.id = std::move(id);
    t.name = std::move(name);
    t.added = added;
    return t;
}

std::vector<std::string> ids(const std::vector<TorrentStatus>& list) {
    std::vector<std::string> out;
    for (const auto& t : list)
        out.push_back(t.id);
    return out;
}

TEST(LibrarySelection, FilterPredicatesLookOnlyAtTheirFields) {
    TorrentStatus pausedSeed = torrent("a", "a");
    pausedSeed.paused = pausedSeed.seeding = true;
    TorrentStatus finished = torrent("b", "b");
    finished.finished = true;
    TorrentStatus checking = torrent("c", "c");
    checking.state = "checking";
    TorrentStatus uploading = torrent("d", "d");
    uploading.uploadRate = 1;
    uploading.finished = true;
    TorrentStatus missing = torrent("e", "e");
    missing.state = "missing";
    missing.paused = true;
    struct Case {
        const TorrentStatus& t;
        std::set<TorrentFilter> passes;
    } cases[] = {
        {pausedSeed, {TorrentFilter::all, TorrentFilter::completed, TorrentFilter::paused}},
        {finished, {TorrentFilter::all, TorrentFilter::completed}},
        {checking, {TorrentFilter::all, TorrentFilter::downloading}},
        {uploading, {TorrentFilter::all, TorrentFilter::completed, TorrentFilter::active}},
        {missing, {TorrentFilter::all, TorrentFilter::paused}},
    };
    for (const auto& c : cases)
        for (TorrentFilter f : kAllTorrentFilters)
            EXPECT_EQ(LibrarySelection::passes(c.t, f), c.passes.contains(f))
                << c.t.id << " " << rawValue(f);
    auto counts = LibrarySelection::counts({pausedSeed, finished, checking, uploading, missing});
    EXPECT_EQ(counts[TorrentFilter::all], 5);
    EXPECT_EQ(counts[TorrentFilter::completed], 3);
    EXPECT_EQ(counts[TorrentFilter::seeding], 0);
}

TEST(LibrarySelection, SearchTrimsSpacesAndTabsOnlyAndMatchesNameOrTitle) {
    std::vector<TorrentStatus> all = {torrent("1", "Сериал серия 3 [1080p]"),
                                      torrent("2", "The.Big.Movie.2010.1080p.BluRay"),
                                      torrent("3", "Другое")};
    auto find = [&](const std::string& search) {
        LibrarySelection::Inputs in;
        in.search = search;
        in.preferences.sort = LibrarySort::name;
        return ids(LibrarySelection::visible(all, in));
    };
    EXPECT_EQ(find(" \tСЕРИЯ 3  "), std::vector<std::string>{"1"});
    EXPECT_EQ(find("big movie"),
              std::vector<std::string>{"2"}); // only the cleaned title has spaces
    EXPECT_EQ(find(" \t ").size(), 3u);
    EXPECT_TRUE(find("\nсерия").empty()); // a line break is part of the query
}

TEST(LibrarySelection, OrderDependsOnTheLayout) {
    auto a = torrent("a", "Same", 10);
    auto b = torrent("b", "Same", 30);
    auto c = torrent("c", "Alpha", 20);
    c.total = 100;
    LibrarySelection::Inputs in;
    in.preferences.sort = LibrarySort::name;
    EXPECT_EQ(ids(LibrarySelection::visible({b, a, c}, in)),
              (std::vector<std::string>{"c", "a", "b"}));
    in.preferences.layout = LibraryLayout::table; // newest added first, whatever the sort
    EXPECT_EQ(ids(LibrarySelection::visible({a, c, b}, in)),
              (std::vector<std::string>{"b", "c", "a"}));
    in.sortOrder = {{TableSortKey::wanted, true}}; // all equal: the engine's order stays
    EXPECT_EQ(ids(LibrarySelection::visible({a, c, b}, in)),
              (std::vector<std::string>{"a", "c", "b"}));
}

TEST(LibrarySelection, PrimaryFollowsTheDisplayOrder) {
    std::vector<TorrentStatus> shown = {torrent("b", "b"), torrent("a", "a")};
    EXPECT_EQ(LibrarySelection::primary(shown, {"a", "b"}), "b");
    EXPECT_EQ(LibrarySelection::primary(shown, {"a"}), "a");
    EXPECT_EQ(LibrarySelection::primary(shown, {"x"}), std::nullopt);
    EXPECT_EQ(LibrarySelection::primary(shown, {}), std::nullopt);
    // One selected id on display with another hidden one beside it: the first on display.
    EXPECT_EQ(LibrarySelection::primary(shown, {"x", "a"}), "a");
}

} // namespace
