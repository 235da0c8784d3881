#include <sys/stat.h>

#include <gtest/gtest.h>

#include "quorvel-direct-updates/tar_extractor.h"
#include "tests/support/tar_writer.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

namespace fs = std::filesystem;
using quorvel::TarExtractor;

std::expected<void, TarExtractor::Error> extract(const TempDir& dir, const std::string& archive) {
    writeAll(dir / "a.tar", archive);
    return TarExtractor::extract(dir / "a.tar", dir / "out");
}

TEST(TarExtractor, UnpacksFilesFoldersLinksAndModes) {
    TempDir dir;
    TarWriter tar;
    tar.folder("./");
    tar.folder("bin/");
    tar.file("bin/run", "#!/bin/sh\n", 0755);
    tar.file("./share/doc/readme.txt", "hello");
    tar.symlink("share/current", "doc/readme.txt");
    tar.symlink("bin/up", "../share");
    const std::string long_name = std::string(90, 'n') + "/" + std::string(20, 'm');
    tar.file(long_name.substr(0, 99), "short enough");
    std::vector<double> progress;
    writeAll(dir / "a.tar", tar.finish());
    ASSERT_TRUE(TarExtractor::extract(dir / "a.tar", dir / "out",
                                      [&](double p) { progress.push_back(p); }));
    EXPECT_EQ(readAll(dir / "out/share/doc/readme.txt"), "hello");
    EXPECT_EQ(readAll(dir / "out/share/current"), "hello");
    EXPECT_TRUE(fs::is_symlink(dir / "out/bin/up"));
    struct stat info {};
    ASSERT_EQ(::stat((dir / "out/bin/run").c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);
    ASSERT_EQ(::stat((dir / "out/share/doc/readme.txt").c_str(), &info), 0);
    EXPECT_FALSE(info.st_mode & S_IXUSR);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST(TarExtractor, RefusesEverythingThatLeavesTheFolder) {
    struct Case {
        const char* name;
        std::function<void(TarWriter&, const TempDir&)> add;
        TarExtractor::Error error;
    };
    const Case cases[] = {
        {"dot-dot", [](TarWriter& t, const TempDir&) { t.file("a/../../escaped", "x"); },
         TarExtractor::Error::unsafe},
        {"leading dot-dot", [](TarWriter& t, const TempDir&) { t.file("../escaped", "x"); },
         TarExtractor::Error::unsafe},
        {"absolute", [](TarWriter& t, const TempDir& d) { t.file((d / "escaped").string(), "x"); },
         TarExtractor::Error::unsafe},
        {"link out", [](TarWriter& t, const TempDir&) { t.symlink("a/l", "../../escaped"); },
         TarExtractor::Error::unsafe},
        {"absolute link", [](TarWriter& t, const TempDir&) { t.symlink("l", "/etc"); },
         TarExtractor::Error::unsafe},
        {"hard link", [](TarWriter& t, const TempDir&) { t.hardlink("h", "/etc/passwd"); },
         TarExtractor::Error::unsafe},
        {"through a link",
         [](TarWriter& t, const TempDir&) {
             t.folder("inside/");
             t.symlink("l", "inside");
             t.file("l/file", "x");
         },
         TarExtractor::Error::unsafe},
        // Each link stays inside by itself; together they lead out.
        {"link chain",
         [](TarWriter& t, const TempDir&) {
             t.folder("sub/");
             t.symlink("sub/up", "..");
             t.symlink("out", "sub/up/..");
         },
         TarExtractor::Error::unsafe},
        {"link chain made backwards",
         [](TarWriter& t, const TempDir&) {
             t.symlink("out", "sub/up/..");
             t.folder("sub/");
             t.symlink("sub/up", "..");
         },
         TarExtractor::Error::unsafe},
        {"link loop",
         [](TarWriter& t, const TempDir&) {
             t.symlink("a", "b");
             t.symlink("b", "a");
         },
         TarExtractor::Error::unsafe},
        {"fifo", [](TarWriter& t, const TempDir&) { t.fifo("p"); }, TarExtractor::Error::unsafe},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        TarWriter tar;
        c.add(tar, dir);
        const auto result = extract(dir, tar.finish());
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error(), c.error);
        EXPECT_FALSE(fs::exists(dir / "escaped"));
    }
}

TEST(TarExtractor, AFileOverALinkReplacesTheLinkNotItsTarget) {
    TempDir dir;
    TarWriter tar;
    tar.file("target", "t");
    tar.symlink("l", "target");
    tar.file("l", "x");
    ASSERT_TRUE(extract(dir, tar.finish()));
    EXPECT_EQ(readAll(dir / "out/target"), "t");
    EXPECT_FALSE(fs::is_symlink(dir / "out/l"));
    EXPECT_EQ(readAll(dir / "out/l"), "x");
}

TEST(TarExtractor, StopsWhenAsked) {
    TempDir dir;
    TarWriter tar;
    for (int i = 0; i < 20; ++i)
        tar.file("f" + std::to_string(i), std::string(100000, 'x'));
    writeAll(dir / "a.tar", tar.finish());
    std::stop_source stop;
    const auto result = TarExtractor::extract(
        dir / "a.tar", dir / "out", [&](double) { stop.request_stop(); }, stop.get_token());
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), TarExtractor::Error::cancelled);
    EXPECT_FALSE(fs::exists(dir / "out/f19"));
}

TEST(TarExtractor, BrokenArchivesAreFormatErrors) {
    TempDir dir;
    TarWriter tar;
    tar.file("a", std::string(2000, 'a'));
    std::string whole = tar.finish();
    std::string spoiled = whole;
    spoiled[10] ^= 1; // header checksum no longer holds
    EXPECT_EQ(extract(dir, spoiled).error(), TarExtractor::Error::format);
    TempDir again;
    EXPECT_EQ(extract(again, whole.substr(0, 1536)).error(), TarExtractor::Error::format);
    TempDir third;
    EXPECT_EQ(extract(third, "not a tar archive at all").error(), TarExtractor::Error::format);
}

} // namespace
} // namespace tevro::test
