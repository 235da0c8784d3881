#include "tevro/bridge/file_watch.h"

#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace tevro::bridge {
namespace {

namespace fs = std::filesystem;

std::set<std::string> changed(FileWatch& watch) {
    std::set<std::string> out;
    watch.takeChanged(out);
    return out;
}

// Two torrents in a library three folders deep: a/b/show/ep.bin and a/b/other/x.bin.
struct Library {
    test::TempDir root;
    fs::path ep = root / "a/b/show/ep.bin";
    fs::path extra = root / "a/b/show/extra.bin";
    fs::path other = root / "a/b/other/x.bin";
    Library() {
        for (const auto& p : {ep, extra, other}) {
            fs::create_directories(p.parent_path());
            test::writeAll(p, "data");
        }
    }
};

TEST(FileWatch, ReportsTheKeyWhenAFileOrAFolderOnItsWayGoes) {
    struct Case {
        const char* what;
        std::function<void(Library&)> change;
        bool lost; // the watch of a folder on the path is gone with it
    } cases[] = {
        {"file removed", [](Library& l) { fs::remove(l.ep); }, false},
        {"file renamed", [](Library& l) { fs::rename(l.ep, l.root / "a/b/show/ep2.bin"); }, false},
        {"folder removed", [](Library& l) { fs::remove_all(l.root / "a/b/show"); }, true},
        {"folder renamed", [](Library& l) { fs::rename(l.root / "a/b/show", l.root / "a/b/s"); },
         true},
        {"folder two above renamed", [](Library& l) { fs::rename(l.root / "a", l.root / "moved"); },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Library l;
        FileWatch watch;
        ASSERT_TRUE(watch.set("show", {l.ep.string()}));
        ASSERT_TRUE(watch.set("other", {l.other.string()}));
        EXPECT_TRUE(changed(watch).empty());
        c.change(l);
        std::set<std::string> keys = changed(watch);
        // A rename of "a" takes "other" with it; nothing else reports it.
        std::set<std::string> expected = {"show"};
        if (std::string(c.what) == "folder two above renamed")
            expected.insert("other");
        EXPECT_EQ(keys, expected);
        EXPECT_TRUE(changed(watch).empty()) << "reported once";
        // A key whose folder watch went must be set again.
        EXPECT_EQ(watch.set("show", {l.ep.string()}), !c.lost || fs::exists(l.ep.parent_path()));
    }
}

TEST(FileWatch, IgnoresWhatIsNotOnAWatchedPath) {
    Library l;
    FileWatch watch;
    ASSERT_TRUE(watch.set("show", {l.ep.string()}));
    fs::remove(l.extra);
    fs::create_directories(l.root / "a/b/unrelated");
    fs::remove(l.root / "a/b/unrelated");
    test::writeAll(l.root / "a/b/show/new.bin", "x");
    EXPECT_TRUE(changed(watch).empty());
}

TEST(FileWatch, SharesFolderWatchesAndLetsThemGo) {
    Library l;
    FileWatch watch;
    ASSERT_TRUE(watch.set("ep", {l.ep.string()}));
    ASSERT_TRUE(watch.set("extra", {l.extra.string()}));
    std::size_t folders = watch.folders();
    ASSERT_TRUE(watch.set("other", {l.other.string()}));
    EXPECT_EQ(watch.folders(), folders + 1);

    watch.forget("ep");
    fs::remove(l.ep);
    fs::remove(l.extra);
    EXPECT_EQ(changed(watch), std::set<std::string>{"extra"});

    // Setting new paths lets the old ones go.
    ASSERT_TRUE(watch.set("extra", {l.other.string()}));
    EXPECT_EQ(watch.folders(), folders + 1 - 1);
    watch.forget("extra");
    watch.forget("other");
    EXPECT_EQ(watch.folders(), 0u);
    EXPECT_TRUE(watch.set("none", {}));
    EXPECT_EQ(watch.folders(), 0u);
}

TEST(FileWatch, LooksAtFilesItCannotWatchEveryTime) {
    Library l;
    fs::path cwd = fs::current_path();
    fs::current_path(l.root.path());
    FileWatch watch;
    // A relative path cannot be watched: it is looked at instead.
    EXPECT_FALSE(watch.set("relative", {"a/b/show/ep.bin"}));
    EXPECT_EQ(watch.unwatched(), 1u);
    EXPECT_EQ(watch.folders(), 0u);
    EXPECT_TRUE(changed(watch).empty());
    fs::remove(l.ep);
    EXPECT_EQ(changed(watch), std::set<std::string>{"relative"});
    EXPECT_EQ(changed(watch), std::set<std::string>{"relative"}) << "until it is forgotten";
    watch.forget("relative");
    EXPECT_TRUE(changed(watch).empty());
    fs::current_path(cwd);
}

} // namespace
} // namespace tevro::bridge
