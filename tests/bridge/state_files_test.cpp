#include "tevro/bridge/state_files.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace tevro::bridge {
namespace {

TEST(StateFiles, PresenceFileFormat) {
    struct {
        const char* text;
        std::set<int> indices;
    } cases[] = {
        {"v1\n3\n-1\n7\n", {3, 7}}, {"v2\n3\n", {}}, {"v1\n", {}},
        {"v1 2 x 5\n2\n", {2, 5}},  {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(state_files::parsePresence(c.text), c.indices) << c.text;
    EXPECT_EQ(state_files::formatPresence({}), "v1\n");
    EXPECT_EQ(state_files::formatPresence({7, 3}), "v1\n3\n7\n");
}

TEST(StateFiles, AtomicWriteReplacesOrKeepsTheOldFile) {
    test::TempDir dir;
    std::string path = (dir / "f.resume").string();
    EXPECT_TRUE(state_files::writeAtomically(path, "old"));
    EXPECT_TRUE(state_files::writeAtomically(path, "new"));
    EXPECT_EQ(state_files::readWhole(path), "new");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_EQ(state_files::readWhole((dir / "missing").string()), "");

    // A folder in the way of the rename: the old file stays, no .tmp is left.
    std::filesystem::create_directory(dir / "taken");
    EXPECT_FALSE(state_files::writeAtomically((dir / "taken").string(), "x"));
    EXPECT_FALSE(std::filesystem::exists(dir / "taken.tmp"));
}

// Every fsync of this test binary is seen here: the path of the descriptor at
// the moment of the call. Under ThreadSanitizer the runtime owns fsync.
#if !defined(__SANITIZE_THREAD__)
std::vector<std::string>& syncedPaths() {
    static std::vector<std::string> paths;
    return paths;
}
} // namespace
} // namespace tevro::bridge

extern "C" int fsync(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::error_code ec;
    auto target = std::filesystem::read_symlink(link, ec);
    tevro::bridge::syncedPaths().push_back(target.string());
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace tevro::bridge {
namespace {

TEST(StateFiles, AtomicWriteSyncsTheFileThenTheFolder) {
    test::TempDir dir;
    std::string path = (dir / "f.resume").string();
    syncedPaths().clear();
    ASSERT_TRUE(state_files::writeAtomically(path, "bytes"));
    const std::string folder = std::filesystem::canonical(dir.path()).string();
    const std::vector<std::string> expected = {folder + "/f.resume.tmp", folder};
    EXPECT_EQ(syncedPaths(), expected);
}
#endif

} // namespace
} // namespace tevro::bridge
