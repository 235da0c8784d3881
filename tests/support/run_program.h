#pragma once

// Runs a program to its end for a test: captured standard output, exit code or
// signal, and a hard limit after which the child is killed and the run is
// reported as hung. Header-only so any test binary can use it.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tevro::test {

struct ProgramResult {
    bool launched = false;
    bool hung = false; // killed at the limit
    int exitCode = -1; // when it exited
    int signal = 0;    // when a signal ended it
    std::string out;

    bool exited() const { return launched && !hung && signal == 0; }
};

inline ProgramResult runProgram(const std::vector<std::string>& args,
                                std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    ProgramResult result;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return result;
    }
    result.launched = true;

    const auto until = std::chrono::steady_clock::now() + limit;
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.hung = true;
            break;
        }
        pollfd entry{fds[0], POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0)
            continue;
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break; // end of output: the child has (nearly) ended
        result.out.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    if (result.hung)
        ::kill(pid, SIGKILL);
    int status = 0;
    // A child that closed its output but lingers is hung as well.
    while (!result.hung && ::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= until) {
            result.hung = true;
            ::kill(pid, SIGKILL);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (result.hung) {
        ::waitpid(pid, &status, 0);
        return result;
    }
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

// Runs ffmpeg quietly, overwriting its output; true when it succeeded.
inline bool ffmpeg(std::vector<std::string> args) {
    args.insert(args.begin(), {"ffmpeg", "-nostdin", "-v", "error", "-y"});
    const ProgramResult result = runProgram(args, std::chrono::minutes(5));
    return result.exited() && result.exitCode == 0;
}

// Glimmet as the build puts it: "<build>/bin/Helpers/Glimmet", while test
// binaries live in "<build>/tests/bin".
inline std::filesystem::path glimmetPath() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return self.parent_path().parent_path().parent_path() / "bin" / "Helpers" / "Glimmet";
}

} // namespace tevro::test
