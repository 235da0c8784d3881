#include "quorvel-kit/statistics/file_io.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

// Every path the kit asks the system to put on disk, in order.
std::vector<std::string>& synced() {
    static std::vector<std::string> paths;
    return paths;
}

} // namespace

// The kit is linked into this program statically: its calls come here first.
extern "C" int fsync(int fd) {
    std::error_code ec;
    synced().push_back(std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec));
    static auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}

namespace quorvel {
namespace {

using tevro::test::readAll;
using tevro::test::TempDir;
using tevro::test::writeAll;

// A power cut right after a replacement must leave the old file or the whole
// new one: the new bytes reach the disk before the rename, the rename after.
TEST(FileIO, AReplacedFileIsOnDiskBeforeAndAfterTheRename) {
    TempDir dir;
    const auto folder = std::filesystem::canonical(dir.path());
    writeAll(folder / "state.json", "old");
    synced().clear();
    ASSERT_FALSE(writeFileAtomically(folder / "state.json", "new"));
    EXPECT_EQ(readAll(folder / "state.json"), "new");
    EXPECT_FALSE(std::filesystem::exists(folder / "state.json.tmp"));
    EXPECT_EQ(synced(),
              (std::vector<std::string>{(folder / "state.json.tmp").string(), folder.string()}));
}

TEST(FileIO, AFailedWriteLeavesTheOldFile) {
    TempDir dir;
    writeAll(dir / "state.json", "old");
    std::filesystem::create_directory(dir / "state.json.tmp"); // cannot be opened for writing
    EXPECT_TRUE(writeFileAtomically(dir / "state.json", "new"));
    EXPECT_EQ(readAll(dir / "state.json"), "old");
}

} // namespace
} // namespace quorvel
