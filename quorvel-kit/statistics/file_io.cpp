#include "quorvel-kit/statistics/file_io.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <unistd.h>

namespace quorvel {

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

std::error_code writeFileAtomically(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::path tmp = path;
    tmp += ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return {errno, std::generic_category()};
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            std::error_code ec(errno ? errno : EIO, std::generic_category());
            ::close(fd);
            ::unlink(tmp.c_str());
            return ec;
        }
        done += size_t(n);
    }
    // On disk before it replaces the old file, and the rename itself on disk
    // too: a crash or power loss leaves the old file or the new one.
    const bool synced = ::fsync(fd) == 0;
    const int syncError = errno;
    if (::close(fd) != 0 || !synced || ::rename(tmp.c_str(), path.c_str()) != 0) {
        std::error_code ec(synced ? errno : syncError, std::generic_category());
        ::unlink(tmp.c_str());
        return ec;
    }
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

} // namespace quorvel
