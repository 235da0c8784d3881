#include "tevro/media/library_sort.h"

#include <gtest/gtest.h>

using namespace tevro;

namespace {

struct Row {
    const char* id;
    const char* name;
    std::int64_t added = 0;
    std::int64_t total = 0;
    std::int64_t wanted = 0;
    std::int64_t wantedDone = 0;
    bool hasMetadata = true;
};

std::vector<TorrentStatus> statuses(const std::vector<Row>& rows) {
    std::vector<TorrentStatus> out;
    for (const Row& r : rows) {
        TorrentStatus t;
        t.id = r.id;
        t.name = r.name;
        t.added = r.added;
        t.total = r.total;
        t.wanted = r.wanted;
        t.wantedDone = r.wantedDone;
        t.hasMetadata = r.hasMetadata;
        out.push_back(t);
    }
    return out;
}

std::vector<std::string> ids(const std::vector<TorrentStatus>& list) {
    std::vector<std::string> out;
    for (const TorrentStatus& t : list)
        out.push_back(t.id);
    return out;
}

struct SortCase {
    const char* what;
    LibrarySort sort;
    std::vector<Row> rows;
    std::vector<std::string> order;
};

const SortCase kCases[] = {
    {"newest first; same time by name, then id",
     LibrarySort::newest,
     {{"b", "Movie", 100}, {"a", "Movie", 100}, {"c", "Album", 100}, {"d", "Zeta", 300}},
     {"d", "c", "a", "b"}},
    {"names by number and case-insensitively",
     LibrarySort::name,
     {{"1", "Season 10"}, {"2", "season 2"}, {"3", "Season 1"}, {"4", "Album"}, {"5", "Season 2"}},
     {"4", "3", "2", "5", "1"}},
    {"identical names by id",
     LibrarySort::name,
     {{"ff", "Сериал.S01.1080p"}, {"0a", "Сериал.S01.1080p"}, {"1b", "Сериал.S01.1080p"}},
     {"0a", "1b", "ff"}},
    {"progress: most done first, no metadata last",
     LibrarySort::progress,
     {{"magnet", "A magnet", 0, 0, 0, 0, false},
      {"one", "One percent", 0, 0, 100, 1},
      {"half", "Half", 0, 0, 100, 50}},
     {"half", "one", "magnet"}},
    {"progress: nothing wanted counts as complete and ties by name",
     LibrarySort::progress,
     {{"w", "Zeta done", 0, 0, 100, 100},
      {"x", "Half", 0, 0, 100, 50},
      {"y", "Alpha nothing wanted", 0, 0, 0, 0, true}},
     {"y", "w", "x"}},
    {"size: largest first, ties by name",
     LibrarySort::size,
     {{"s", "Small", 0, 10},
      {"b2", "Big B", 0, 1'000'000'000'000},
      {"b1", "Big A", 0, 1'000'000'000'000}},
     {"b1", "b2", "s"}},
};

} // namespace

TEST(LibrarySort, Orders) {
    for (const SortCase& c : kCases)
        EXPECT_EQ(ids(ordered(c.sort, statuses(c.rows))), c.order) << c.what;
}

TEST(LibrarySort, KeepsTheValues) {
    auto input = statuses({{"x", "X", 5, 7}, {"y", "Y", 9, 3}});
    auto out = ordered(LibrarySort::newest, input);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], input[1]);
    EXPECT_EQ(out[1], input[0]);
    EXPECT_TRUE(ordered(LibrarySort::size, {}).empty());
}
