#include "tevro/core/serial_queue.h"

#include <atomic>
#include <vector>

#include <gtest/gtest.h>

using namespace tevro;

TEST(SerialQueue, RunsInOrderOnOneThread) {
    std::vector<int> seen;
    std::thread::id worker;
    {
        SerialQueue q("tevro.test");
        for (int i = 0; i < 100; ++i)
            q.post([&, i] {
                if (i == 0)
                    worker = std::this_thread::get_id();
                EXPECT_EQ(std::this_thread::get_id(), worker);
                seen.push_back(i);
            });
        int inline_value = 0;
        q.sync([&] {
            q.sync([&] { inline_value = 1; }); // re-entrant sync runs inline
        });
        EXPECT_EQ(inline_value, 1);
        EXPECT_EQ(seen.size(), 100u);
    }
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(seen[static_cast<size_t>(i)], i);
}

TEST(SerialQueue, StopFinishesQueuedWorkAndRefusesMore) {
    std::atomic<int> ran{0};
    SerialQueue q("tevro.test");
    for (int i = 0; i < 10; ++i)
        q.post([&] { ++ran; });
    q.stop();
    EXPECT_EQ(ran.load(), 10);
    EXPECT_FALSE(q.post([&] { ++ran; }));
    EXPECT_EQ(q.pending(), 0u);
}
