#include "tevro/shell/data_folder_lock.h"

#include <cerrno>
#include <charconv>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tevro {

DataFolderLock::DataFolderLock(const std::filesystem::path& folder) : m_path(folder / kFileName) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0)
        m_error = std::error_code(errno, std::generic_category());
}

DataFolderLock::~DataFolderLock() {
    release();
    if (m_fd >= 0)
        ::close(m_fd);
}

DataFolderLock::Attempt DataFolderLock::tryLock() {
    if (m_held)
        return Attempt::taken;
    if (m_fd < 0)
        return Attempt::failed;
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EWOULDBLOCK)
            return Attempt::held;
        m_error = std::error_code(errno, std::generic_category());
        return Attempt::failed;
    }
    m_held = true;
    // For the waiting launches' messages only: the lock decides, not the number.
    std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(m_fd, 0) == 0 && ::pwrite(m_fd, pid.data(), pid.size(), 0) < 0)
        m_error = std::error_code(errno, std::generic_category());
    return Attempt::taken;
}

void DataFolderLock::release() {
    if (!m_held)
        return;
    ::flock(m_fd, LOCK_UN);
    m_held = false;
}

std::optional<pid_t> DataFolderLock::holder() const {
    if (m_fd < 0)
        return std::nullopt;
    char text[32] = {};
    ssize_t n = ::pread(m_fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return std::nullopt;
    pid_t pid = 0;
    auto [end, ec] = std::from_chars(text, text + n, pid);
    if (ec != std::errc() || pid <= 0)
        return std::nullopt;
    return pid;
}

} // namespace tevro
