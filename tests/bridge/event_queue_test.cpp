#include "tevro/bridge/event_queue.h"

#include <gtest/gtest.h>

namespace tevro::bridge {
namespace {

TEST(EventQueue, ABurstKeepsTheNewest) {
    EventQueue q;
    for (int i = 0; i < 250; ++i)
        q.push("error", std::to_string(i), "n", "m");
    auto events = q.take();
    ASSERT_EQ(events.size(), 150u);
    EXPECT_EQ(events.front().id, "100");
    EXPECT_EQ(events.back().id, "249");
    EXPECT_TRUE(q.take().empty());
}

} // namespace
} // namespace tevro::bridge
