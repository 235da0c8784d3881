#pragma once

// A full disk without mounting anything: RLIMIT_FSIZE makes every write past
// the limit fail (EFBIG, with SIGXFSZ ignored rather than ending the process),
// which works for any user on any machine. For this process with the guard,
// for a child with fileSizeLimitInChild() before its exec and
// setFileSizeLimit() on its pid afterwards.

#include <csignal>
#include <cstdint>

#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

namespace tevro::test {

// Sets the soft limit of process `pid`; RLIM_INFINITY lifts it. A pid of 0
// (a child that is gone) is refused rather than taken for this process.
inline bool setFileSizeLimit(pid_t pid, rlim_t bytes) {
    if (pid <= 0)
        return false;
    struct rlimit old {};
    if (::prlimit(pid, RLIMIT_FSIZE, nullptr, &old) != 0)
        return false;
    struct rlimit limit = {bytes == RLIM_INFINITY ? old.rlim_max : bytes, old.rlim_max};
    return ::prlimit(pid, RLIMIT_FSIZE, &limit, nullptr) == 0;
}

// In a child between fork and exec (QProcess's child modifier).
inline void fileSizeLimitInChild(rlim_t bytes) {
    ::signal(SIGXFSZ, SIG_IGN);
    setFileSizeLimit(::getpid(), bytes);
}

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes = 0) {
        m_old = ::signal(SIGXFSZ, SIG_IGN);
        setFileSizeLimit(::getpid(), bytes);
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // Space is back.
    void lift() {
        if (m_lifted)
            return;
        m_lifted = true;
        setFileSizeLimit(::getpid(), RLIM_INFINITY);
        ::signal(SIGXFSZ, m_old);
    }

private:
    sighandler_t m_old = SIG_DFL;
    bool m_lifted = false;
};

} // namespace tevro::test
