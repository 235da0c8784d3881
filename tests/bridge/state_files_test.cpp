#include "tevro/bridge/state_files.h"

#include <filesystem>
#include <sys/stat.h>

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

} // namespace
} // namespace tevro::bridge
