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

TEST(EventQueue, ABurstKeepsWhatTheStartSetAside) {
    EventQueue q;
    q.push("set_aside", "a", "", "first");
    for (int i = 0; i < 250; ++i)
        q.push("finished", std::to_string(i), "n", "");
    q.push("set_aside", "b", "", "second");
    auto events = q.take();
    ASSERT_EQ(events.size(), 152u);
    EXPECT_EQ(events.front().message, "first");
    EXPECT_EQ(events[1].id, "100");
    EXPECT_EQ(events.back().message, "second");
}

} // namespace
} // namespace tevro::bridge
