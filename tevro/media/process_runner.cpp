#include "tevro/media/process_runner.h"

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tevro {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kKillGrace = std::chrono::milliseconds(200);
constexpr auto kStep = std::chrono::milliseconds(5);

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// True once the child has ended; it stays unreaped (a zombie), so its id
// cannot be reused while we still hold it.
bool hasEnded(pid_t pid) {
    siginfo_t info{};
    for (;;) {
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0)
            return info.si_pid == pid;
        if (errno != EINTR)
            return true; // not our child any more: nothing left to wait for
    }
}

// Reads what is there; true once the writing end is closed for good.
bool drain(int fd, std::string& out) {
    if (fd < 0)
        return true;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n == 0;
    }
}

// A descriptor that becomes readable when the child ends, or -1 where the
// kernel has none.
int processFd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// Waits until the child ends or the time point passes, collecting output
// meanwhile so a chatty child cannot stall on a full pipe. Sleeps on the
// process as well as on the pipe: a child that closed its output and runs on
// must not keep this thread spinning. `pipeOpen` turns false at end of output.
bool waitUntil(pid_t pid, int processEnd, Clock::time_point until, int fd, bool& pipeOpen,
               std::string& out) {
    for (;;) {
        if (pipeOpen && drain(fd, out))
            pipeOpen = false;
        if (hasEnded(pid))
            return true;
        const auto now = Clock::now();
        if (now >= until)
            return false;
        // Without a process descriptor the child is looked at every few
        // milliseconds; with one, only the time-out bounds the sleep.
        auto step = until - now;
        if (processEnd < 0)
            step = std::min<Clock::duration>(kStep, step);
        const int ms = static_cast<int>(std::min<std::int64_t>(
            std::chrono::ceil<std::chrono::milliseconds>(step).count(), 1000));
        pollfd entries[2];
        nfds_t count = 0;
        if (processEnd >= 0)
            entries[count++] = {processEnd, POLLIN, 0};
        if (pipeOpen && fd >= 0)
            entries[count++] = {fd, POLLIN, 0};
        if (count > 0)
            ::poll(entries, count, ms);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

} // namespace

std::optional<std::string> ProcessRunner::run(const std::string& program,
                                              const std::vector<std::string>& arguments,
                                              double timeout, bool capture) {
    if (!(timeout > 0))
        return std::nullopt;

    int pipeFds[2] = {-1, -1};
    if (capture && ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return std::nullopt;
    Fd readEnd(pipeFds[0]);
    Fd writeEnd(pipeFds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (capture)
        posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    // The worker thread's signal mask and dispositions are not the child's business.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    bool launched = false;
    {
        // Launching under the lock means shutdown() either comes first and
        // prevents the child or comes after and sees it.
        std::lock_guard lock(m_mutex);
        if (!m_stopped)
            launched = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(),
                                     environ) == 0;
        if (launched)
            m_active = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (!launched)
        return std::nullopt;
    writeEnd.reset();

    std::string out;
    Fd processEnd(processFd(pid));
    bool pipeOpen = readEnd.get() >= 0;
    const auto limit = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(timeout));
    bool inTime = waitUntil(pid, processEnd.get(), limit, readEnd.get(), pipeOpen, out);
    if (!inTime) {
        ::kill(pid, SIGTERM);
        if (!waitUntil(pid, processEnd.get(), Clock::now() + kKillGrace, readEnd.get(), pipeOpen,
                       out)) {
            ::kill(pid, SIGKILL);
            waitUntil(pid, processEnd.get(), Clock::time_point::max(), readEnd.get(), pipeOpen,
                      out);
        }
    }
    if (pipeOpen)
        drain(readEnd.get(), out);

    {
        std::lock_guard lock(m_mutex);
        m_active.reset();
    }
    int status = 0;
    pid_t reaped = -1;
    do
        reaped = ::waitpid(pid, &status, 0);
    while (reaped < 0 && errno == EINTR);
    // A status reaped by someone else is unknown, so no success.
    if (reaped != pid || !inTime || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return capture ? out : std::string();
}

void ProcessRunner::shutdown() {
    std::lock_guard lock(m_mutex);
    m_stopped = true;
    if (m_active)
        ::kill(*m_active, SIGKILL);
}

bool ProcessRunner::isStopped() const {
    std::lock_guard lock(m_mutex);
    return m_stopped;
}

} // namespace tevro
