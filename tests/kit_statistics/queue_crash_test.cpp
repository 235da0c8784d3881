#include <csignal>
#include <random>
#include <set>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "quorvel-kit/statistics/event_queue.h"
#include "tests/kit_statistics/engine_harness.h"
#include "tests/kit_statistics/statistics_service.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace quorvel {
namespace {

using tevro::test::readAll;
using tevro::test::TempDir;

// Starts the appender, lets it run for a random while (sometimes killing it
// before it is even ready) and kills it with SIGKILL.
void runAndKill(const std::filesystem::path& storage, std::mt19937& random) {
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::string seed = std::to_string(random());
    std::string dir = storage.string();
    char* argv[] = {const_cast<char*>(KIT_STATISTICS_APPENDER), dir.data(), seed.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, KIT_STATISTICS_APPENDER, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (random() % 8 != 0) {
        pollfd p{out[0], POLLIN, 0};
        poll(&p, 1, 10'000); // "ready": bootstrapped and appending
        usleep(useconds_t(random() % 40'000));
    } else {
        usleep(useconds_t(random() % 150'000));
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out[0]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

TEST(QueueCrash, KilledAppendersLeaveALoadableQueueAndNothingIsSentTwice) {
    tevro::test::ensureQtApp();
    test::StatisticsService service;
    TempDir dir;
    std::mt19937 random(20261210);
    std::set<std::string> acknowledged;
    size_t appended = 0;
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        runAndKill(dir.path(), random);

        EventQueue queue(dir / "queue.jsonl");
        std::string file = readAll(dir / "queue.jsonl");
        EXPECT_TRUE(file.empty() || file.back() == '\n');
        EXPECT_LE(queue.entries().size(), EventQueue::kMaxEntries);
        EXPECT_LE(queue.bytes(), EventQueue::kMaxBytes);
        for (const EventQueue::Entry& e : queue.entries()) {
            ASSERT_TRUE(nlohmann::json::accept(e.json)) << e.json.substr(0, 200);
            ASSERT_FALSE(acknowledged.contains(e.id)) << "acknowledged event back in the queue";
        }
        appended += queue.entries().size();

        // The service takes one batch; the next round must never bring it back.
        test::HarnessOptions o;
        o.endpoint = service.url();
        test::EngineHarness h(dir.path(), o);
        h.run([](StatisticsEngine& e) { e.bootstrap(); });
        ASSERT_TRUE(h.uploadAndWait());
        acknowledged.insert(service.acceptedEvents().begin(), service.acceptedEvents().end());
    }
    std::set<std::string> unique(service.acceptedEvents().begin(), service.acceptedEvents().end());
    EXPECT_EQ(unique.size(), service.acceptedEvents().size()) << "an event was sent twice";
    EXPECT_GT(appended, 100u) << "the appender got to append";
}

} // namespace
} // namespace quorvel
