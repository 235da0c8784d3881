#pragma once

// Runs a helper program as a child process, one at a time, each with a
// time-out, and can be stopped for good: stopping kills the running child and
// refuses every later launch. Safe to use from any thread.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tevro {

class ProcessRunner {
public:
    ProcessRunner() = default;
    ProcessRunner(const ProcessRunner&) = delete;
    ProcessRunner& operator=(const ProcessRunner&) = delete;

    // Runs `program` with `arguments`; standard input and standard error are
    // the null device, standard output is captured when `capture` is set.
    // Past the time-out the child gets SIGTERM and, 0.2 s later, SIGKILL.
    // Returns the captured output (empty when not capturing) when the child
    // exited with status 0 in time; nothing when the time-out is not above 0,
    // the runner is stopped, the launch fails, the time-out passes or the
    // child fails or dies. The child is always reaped before returning.
    std::optional<std::string> run(const std::string& program,
                                   const std::vector<std::string>& arguments, double timeout,
                                   bool capture);

    // Kills a running child with SIGKILL and refuses every later run.
    void shutdown();
    bool isStopped() const;

private:
    mutable std::mutex m_mutex;
    // Kept until the child is about to be reaped, so a kill can never reach a
    // recycled process id.
    std::optional<pid_t> m_active;
    bool m_stopped = false;
};

} // namespace tevro
