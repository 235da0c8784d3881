#include "tevro/media/file_tree.h"

#include <gtest/gtest.h>

#include "tests/support/torrent_files.h"

using namespace tevro;
using tevro::test::torrentFiles;

namespace {

// "d:/S1(e01.mkv e02.mkv) info.nfo": folders by id with their content, files by name.
std::string render(const std::vector<FileNode>& nodes) {
    std::string out;
    for (const FileNode& n : nodes) {
        if (!out.empty())
            out += ' ';
        if (n.children)
            out += n.id + "(" + render(*n.children) + ")";
        else
            out += n.name;
    }
    return out;
}

struct TreeCase {
    const char* what;
    std::vector<std::string> paths;
    const char* filter;
    const char* tree;
};

const TreeCase kTreeCases[] = {
    {"common top folder removed",
     {"Show/S1/e01.mkv", "Show/S1/e02.mkv", "Show/info.nfo"},
     "",
     "d:/S1(e01.mkv e02.mkv) info.nfo"},
    {"no common top folder", {"A/x.mkv", "B/y.mkv"}, "", "d:/A(x.mkv) d:/B(y.mkv)"},
    {"a top-level file keeps the folder", {"Show/x.mkv", "y.mkv"}, "", "d:/Show(x.mkv) y.mkv"},
    {"lone top folder removed", {"Movie/movie.mkv"}, "", "movie.mkv"},
    {"single-file torrent", {"Movie.2010.1080p.mkv"}, "", "Movie.2010.1080p.mkv"},
    {"padding files take no part",
     {"Show/a.mkv", "pad:.pad/1024", "Show/b.mkv"},
     "",
     "a.mkv b.mkv"},
    {"empty components dropped", {"Top//Sub/x.mkv", "Top/y.mkv/"}, "", "d:/Sub(x.mkv) y.mkv"},
    {"nested folder ids",
     {"Film/Extras/Scenes/a.mkv", "Film/film.mkv", "Film/Extras/trailer.mp4"},
     "",
     "d:/Extras(d:/Extras/Scenes(a.mkv) trailer.mp4) film.mkv"},
    {"names by number, case ignored",
     {"Show/Ep 10.mkv", "Show/Ep 2.mkv", "Show/ep 1.mkv"},
     "",
     "ep 1.mkv Ep 2.mkv Ep 10.mkv"},
    {"season folders by number, folders before files",
     {"Show/Season 10/S10E01.mkv", "Show/Season 2/S02E01.mkv", "Show/Season 1/S01E01.mkv",
      "Show/Show.nfo"},
     "",
     "d:/Season 1(S01E01.mkv) d:/Season 2(S02E01.mkv) d:/Season 10(S10E01.mkv) Show.nfo"},
    {"Russian season folders",
     {"Сериал/Сезон 2/Серия 1.mkv", "Сериал/Сезон 1/Серия 10.mkv", "Сериал/Сезон 1/Серия 9.mkv"},
     "",
     "d:/Сезон 1(Серия 9.mkv Серия 10.mkv) d:/Сезон 2(Серия 1.mkv)"},
    {"filter trimmed and case-insensitive",
     {"Show/S1/e01.mkv", "Show/S2/e01.mkv", "Show/info.nfo"},
     " \ts1 ",
     "d:/S1(e01.mkv)"},
    {"filter on the removed top folder keeps everything",
     {"Show/S1/e01.mkv", "Show/info.nfo"},
     "SHOW",
     "d:/S1(e01.mkv) info.nfo"},
    {"Cyrillic filter lower-cased",
     {"Сериал/Сезон 1/Серия 1.mkv", "Сериал/Сезон 2/Серия 1.mkv"},
     "СЕЗОН 2",
     "d:/Сезон 2(Серия 1.mkv)"},
    {"filter prunes empty folders",
     {"Show/Subs/e01.srt", "Show/Rus Sound/e01.ac3", "Show/e01.mkv"},
     "srt",
     "d:/Subs(e01.srt)"},
    {"filter matching nothing", {"Show/e01.mkv", "Show/e02.mkv"}, "zzz", ""},
    {"spaces alone are no filter", {"Show/e01.mkv", "Show/e02.mkv"}, "   ", "e01.mkv e02.mkv"},
    {"nothing at all", {}, "", ""},
};

} // namespace

TEST(FileTree, BuildsTreesFromPaths) {
    for (const TreeCase& c : kTreeCases)
        EXPECT_EQ(render(FileTree::build(torrentFiles(c.paths), c.filter)), c.tree) << c.what;
}

TEST(FileTree, FolderSumsIndicesAndPriorities) {
    auto files = torrentFiles({"Show/Season 1/b.mkv", "Show/Season 1/a.mkv", "Show/Season 2/c.mkv",
                               "pad:Show/.pad/1", "Show/c.nfo"});
    files[0].done = 500;
    files[1].done = 2000;
    files[1].prio = 0;
    files[2].prio = 7;
    files[3].prio = 1; // padding: must not reach any set

    auto nodes = FileTree::build(files);
    ASSERT_EQ(nodes.size(), 3u);
    const FileNode& season1 = nodes[0];
    EXPECT_EQ(season1.id, "d:/Season 1");
    EXPECT_EQ(season1.name, "Season 1");
    EXPECT_FALSE(season1.file);
    EXPECT_FALSE(season1.kind);
    EXPECT_EQ(season1.size, 1000 + 2000);
    EXPECT_EQ(season1.done, 2500);
    EXPECT_EQ(season1.indices, (std::vector<std::int64_t>{1, 0})); // children sorted a, b
    EXPECT_EQ(season1.priorities, (std::set<std::int64_t>{0, 4}));
    EXPECT_EQ(season1.check(), CheckState::mixed);

    const FileNode& fileA = (*season1.children)[0];
    EXPECT_EQ(fileA.id, "f:1");
    EXPECT_EQ(fileA.kind, MediaKind::video);
    ASSERT_TRUE(fileA.file);
    EXPECT_EQ(*fileA.file, files[1]);
    EXPECT_EQ(fileA.check(), CheckState::off);

    EXPECT_EQ(nodes[1].priorities, (std::set<std::int64_t>{7}));
    EXPECT_EQ(nodes[1].check(), CheckState::on);
    EXPECT_EQ(nodes[2].kind, MediaKind::text);
}

TEST(FileTree, CheckStateFromPriorities) {
    const std::pair<std::set<std::int64_t>, CheckState> cases[] = {
        {{0, 4}, CheckState::mixed}, {{1, 7}, CheckState::on},       {{0}, CheckState::off},
        {{}, CheckState::off},       {{0, 1, 7}, CheckState::mixed}, {{4}, CheckState::on},
    };
    for (const auto& [priorities, state] : cases) {
        FileNode n;
        n.priorities = priorities;
        EXPECT_EQ(n.check(), state) << priorities.size();
    }
}

TEST(FileTree, EqualityFollowsProgressAndPrioritiesNotSize) {
    auto files = torrentFiles({"Show/S1/e01.mkv", "Show/S1/e02.mkv", "Show/info.nfo"});
    const auto before = FileTree::build(files);

    auto resized = files;
    resized[0].size += 1;
    EXPECT_EQ(FileTree::build(resized), before);

    auto progressed = files;
    progressed[1].done += 1;
    auto after = FileTree::build(progressed);
    EXPECT_NE(after[0], before[0]); // the folder above the file changes
    EXPECT_EQ(after[1], before[1]);

    auto skipped = files;
    skipped[0].prio = 0;
    EXPECT_NE(FileTree::build(skipped)[0], before[0]);

    FileNode file = before[1];
    FileNode asFolder = file;
    asFolder.children = std::vector<FileNode>{};
    EXPECT_NE(file, asFolder); // absent and empty children differ
    EXPECT_EQ(std::hash<FileNode>()(file), std::hash<std::string>()(file.id));
}

TEST(FileTree, FlattenAndFindInPreOrder) {
    auto nodes = FileTree::build(
        torrentFiles({"Film/Extras/Scenes/a.mkv", "Film/film.mkv", "Film/Extras/trailer.mp4"}));
    std::vector<std::string> ids;
    for (const FileNode& n : FileTree::flatten(nodes))
        ids.push_back(n.id);
    EXPECT_EQ(ids,
              (std::vector<std::string>{"d:/Extras", "d:/Extras/Scenes", "f:0", "f:2", "f:1"}));

    auto found = FileTree::find({"f:0", "d:/Extras", "f:99"}, nodes);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].id, "d:/Extras");
    EXPECT_EQ(found[0].indices, (std::vector<std::int64_t>{0, 2}));
    EXPECT_EQ(found[1].id, "f:0");

    EXPECT_TRUE(FileTree::find({}, nodes).empty());
}
