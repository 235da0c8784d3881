// The helper-program runner against real child processes.

#include "tevro/media/process_runner.h"

#include <sys/resource.h>

#include <gtest/gtest.h>

namespace tevro {
namespace {

double threadCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(ProcessRunner, OutputStatusAndTimeOut) {
    ProcessRunner runner;
    EXPECT_EQ(runner.run("/bin/sh", {"-c", "printf 'a b'"}, 10, true), "a b");
    EXPECT_EQ(runner.run("/bin/sh", {"-c", "printf x"}, 10, false), "");
    EXPECT_FALSE(runner.run("/bin/sh", {"-c", "exit 3"}, 10, true));
    EXPECT_FALSE(runner.run("/bin/sh", {"-c", "exec sleep 5"}, 0.2, true));
    EXPECT_FALSE(runner.run("/nonexistent/program", {}, 10, true));
    EXPECT_FALSE(runner.run("/bin/true", {}, 0, true));
    runner.shutdown();
    EXPECT_FALSE(runner.run("/bin/true", {}, 10, true));
}

// A child that closes its output and works on: the wait sleeps on the
// process instead of spinning on the closed pipe.
TEST(ProcessRunner, AChildThatClosedItsOutputIsWaitedForWithoutSpinning) {
    ProcessRunner runner;
    const double before = threadCpuSeconds();
    EXPECT_EQ(runner.run("/bin/sh", {"-c", "printf done; exec >&-; sleep 1"}, 10, true), "done");
    EXPECT_LT(threadCpuSeconds() - before, 0.3);
}

} // namespace
} // namespace tevro
