#include "quorvel-kit/statistics/event_queue.h"
#include "quorvel-kit/statistics/gzip.h"

#include <gtest/gtest.h>

#include "tests/kit_statistics/statistics_service.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using tevro::test::readAll;
using tevro::test::TempDir;
using tevro::test::writeAll;

EventQueue::Entry entry(int n, size_t size = 0) {
    std::string json = "{\"n\":" + std::to_string(n) + "}";
    if (size > json.size())
        json = "\"" + std::string(size - 2, 'x') + "\"";
    return {"id" + std::to_string(n), json};
}

std::vector<std::string> ids(const std::vector<EventQueue::Entry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries)
        out.push_back(e.id);
    return out;
}

TEST(KitEventQueue, MissingFileGivesEmptyQueueAndCreatesNothing) {
    TempDir dir;
    EventQueue q(dir / "sub/queue.jsonl");
    EXPECT_TRUE(q.entries().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "sub"));
    q.clear(); // no file: silently fine
}

TEST(KitEventQueue, LoadSkipsBadLinesAndKeepsThemUntilRewrite) {
    TempDir dir;
    std::string file = "a\t{\"x\":1}\n\n no tab here\n\xff\xfe\t{}\nb\t\nc\t{\"y\":2}\n";
    writeAll(dir / "queue.jsonl", file);
    EventQueue q(dir / "queue.jsonl");
    EXPECT_EQ(ids(q.entries()), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(q.entries()[1].json, "");
    EXPECT_EQ(q.bytes(), 14);
    EXPECT_EQ(readAll(dir / "queue.jsonl"), file);
    q.remove({"nothing"});
    EXPECT_EQ(readAll(dir / "queue.jsonl"), "a\t{\"x\":1}\nb\t\nc\t{\"y\":2}\n");
}

// A crash in the middle of an append leaves a line without its line feed; the
// next append used to glue its line to it and lose both.
TEST(KitEventQueue, TornLastLineIsDroppedAndAppendsStartOnANewLine) {
    TempDir dir;
    writeAll(dir / "queue.jsonl", "a\t{\"x\":1}\nb\t{\"y\":");
    EventQueue q(dir / "queue.jsonl");
    EXPECT_EQ(ids(q.entries()), std::vector<std::string>{"a"});
    EXPECT_EQ(readAll(dir / "queue.jsonl"), "a\t{\"x\":1}\n");

    // A short write by a process still running: the file ends mid-line again.
    writeAll(dir / "queue.jsonl", "a\t{\"x\":1}\nb\t{\"y\":");
    q.append(entry(7));
    EXPECT_EQ(readAll(dir / "queue.jsonl"), "a\t{\"x\":1}\nb\t{\"y\":\nid7\t{\"n\":7}\n");
    EventQueue reloaded(dir / "queue.jsonl");
    EXPECT_EQ(ids(reloaded.entries()), (std::vector<std::string>{"a", "b", "id7"}));
    EXPECT_EQ(reloaded.entries()[2].json, "{\"n\":7}");
}

TEST(KitEventQueue, AppendWritesOneLineAndMakesTheFolder) {
    TempDir dir;
    EventQueue q(dir / "x/y/queue.jsonl");
    q.append(entry(1));
    q.append(entry(2));
    EXPECT_EQ(readAll(dir / "x/y/queue.jsonl"), "id1\t{\"n\":1}\nid2\t{\"n\":2}\n");
    EXPECT_EQ(EventQueue(dir / "x/y/queue.jsonl").entries(), q.entries());
}

TEST(KitEventQueue, BoundsByCountOnLoadAndAppend) {
    TempDir dir;
    std::string file;
    for (int i = 0; i < 2500; ++i)
        file += "id" + std::to_string(i) + "\t{}\n";
    writeAll(dir / "queue.jsonl", file);
    EventQueue q(dir / "queue.jsonl");
    ASSERT_EQ(q.entries().size(), 2000u);
    EXPECT_EQ(q.entries().front().id, "id500");
    EXPECT_EQ(EventQueue(dir / "queue.jsonl").entries().size(), 2000u) << "rewritten at once";

    q.append({"new", "{}"});
    EXPECT_EQ(q.entries().size(), 2000u);
    EXPECT_EQ(q.entries().front().id, "id501");
    EventQueue reloaded(dir / "queue.jsonl");
    EXPECT_EQ(reloaded.entries().front().id, "id501");
    EXPECT_EQ(reloaded.entries().back().id, "new");
}

TEST(KitEventQueue, BoundsByBytes) {
    TempDir dir;
    EventQueue q(dir / "queue.jsonl");
    q.append(entry(1, 1'000'000));
    q.append(entry(2, 1'000'000));
    q.append(entry(3, 200'000));
    EXPECT_EQ(ids(q.entries()), (std::vector<std::string>{"id2", "id3"}));
    EXPECT_EQ(q.bytes(), 1'200'000);
    EXPECT_LE(q.bytes(), EventQueue::kMaxBytes);

    q.append(entry(4, EventQueue::kMaxBytes + 1));
    EXPECT_TRUE(q.entries().empty()) << "an entry larger than the bound empties the queue";
    EXPECT_EQ(q.bytes(), 0);
    EXPECT_EQ(readAll(dir / "queue.jsonl"), "");
}

TEST(KitEventQueue, BatchIsAPrefixWithinTheLimits) {
    TempDir dir;
    EventQueue q(dir / "queue.jsonl");
    q.append(entry(1, 950'000));
    q.append(entry(2, 10));
    EXPECT_EQ(ids(q.batch(100, 900'000)), std::vector<std::string>{"id1"});
    EXPECT_TRUE(q.batch(0, 900'000).empty());

    EventQueue small(dir / "small.jsonl");
    small.append(entry(1, 500));
    small.append(entry(2, 600));
    small.append(entry(3, 10));
    EXPECT_EQ(ids(small.batch(100, 1000)), std::vector<std::string>{"id1"})
        << "stops at the first entry that does not fit";
    EXPECT_EQ(ids(small.batch(2, 10'000)), (std::vector<std::string>{"id1", "id2"}));
}

TEST(KitEventQueue, RemoveAndClear) {
    TempDir dir;
    EventQueue q(dir / "queue.jsonl");
    for (int i = 1; i <= 3; ++i)
        q.append(entry(i));
    writeAll(dir / "marker", "");
    auto before = std::filesystem::last_write_time(dir / "queue.jsonl");
    q.remove({});
    EXPECT_EQ(std::filesystem::last_write_time(dir / "queue.jsonl"), before);
    q.remove({"id2", "zzz"});
    EXPECT_EQ(ids(q.entries()), (std::vector<std::string>{"id1", "id3"}));
    EXPECT_EQ(readAll(dir / "queue.jsonl"), "id1\t{\"n\":1}\nid3\t{\"n\":3}\n");
    q.clear();
    EXPECT_TRUE(q.entries().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "queue.jsonl"));
}

TEST(Gzip, Crc32) {
    EXPECT_EQ(Gzip::crc32(""), 0u);
    EXPECT_EQ(Gzip::crc32("123456789"), 0xCBF43926u);
}

TEST(Gzip, MemberLayoutAndRoundTrip) {
    std::string inputs[] = {"", "hello", std::string(300'000, 'a') + "tail\xff\x00z"};
    for (const std::string& input : inputs) {
        auto out = Gzip::compress(input);
        ASSERT_TRUE(out);
        ASSERT_GE(out->size(), 18u);
        EXPECT_EQ(out->substr(0, 10), std::string("\x1f\x8b\x08\0\0\0\0\0\0\xff", 10));
        uint32_t crc = Gzip::crc32(input);
        uint32_t size = uint32_t(input.size());
        std::string tail = out->substr(out->size() - 8);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(uint8_t(tail[i]), (crc >> (8 * i)) & 0xFF);
            EXPECT_EQ(uint8_t(tail[4 + i]), (size >> (8 * i)) & 0xFF);
        }
        EXPECT_EQ(test::StatisticsService::gunzip(*out), input);
    }
}

} // namespace
} // namespace quorvel
