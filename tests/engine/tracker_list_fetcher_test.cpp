#include "tevro/engine/tracker_list_fetcher.h"

#include <gtest/gtest.h>

#include "tests/support/loopback_http_server.h"
#include "tests/support/qt_app.h"

using namespace tevro;

namespace {

QByteArray trackerLines(int valid, int junk) {
    QByteArray body;
    for (int i = 0; i < valid; ++i)
        body += "  udp://t" + QByteArray::number(i) + ".example:1337/announce\t\r\n\r\n";
    for (int i = 0; i < junk; ++i)
        body += "wss://w" + QByteArray::number(i) + ".example/announce\nnot a url\n";
    return body;
}

std::optional<std::optional<TrackerListFetcher::Result>>
fetchAll(TrackerListFetcher& fetcher, std::vector<std::string> sources) {
    std::optional<std::optional<TrackerListFetcher::Result>> out;
    fetcher.fetch(std::move(sources), [&](auto result) { out = std::move(result); });
    test::waitUntil([&] { return out.has_value(); }, std::chrono::seconds(20));
    return out;
}

} // namespace

TEST(TrackerListFetcher, Parse) {
    EXPECT_FALSE(TrackerListFetcher::parse(trackerLines(4, 50).toStdString()));
    auto list = TrackerListFetcher::parse(trackerLines(120, 3).toStdString());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->size(), 80u);
    EXPECT_EQ(list->front(), "udp://t0.example:1337/announce");
    EXPECT_FALSE(TrackerListFetcher::parse(trackerLines(0, 20).toStdString()));
    EXPECT_FALSE(TrackerListFetcher::parse("udp://a\xff\nudp://b\nudp://c\nudp://d\nudp://e\n"));
    auto mixed = TrackerListFetcher::parse(
        "http://a/x\u2028https://b/x\u0085udp://c/x\x0budp://c/x\x0cUDP://d/x\nudp://e/x");
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->size(), 5u); // duplicates stay, "UDP://" does not count
}

TEST(TrackerListFetcher, TriesSourcesInOrderOverLoopback) {
    test::ensureQtApp();
    test::LoopbackHttpServer server;
    server.route("/missing", {404, "no", false});
    server.route("/few", {200, trackerLines(4, 10), false});
    server.route("/wss", {200, trackerLines(0, 30), false});
    server.route("/good", {200, trackerLines(120, 0), false});
    server.route("/after", {200, trackerLines(10, 0), false});

    TrackerListFetcher fetcher;
    auto result = fetchAll(fetcher, {server.url("/missing"), server.url("/few"), server.url("/wss"),
                                     server.url("/good"), server.url("/after")});
    ASSERT_TRUE(result && *result);
    EXPECT_EQ((*result)->trackers.size(), 80u);
    EXPECT_EQ((*result)->host, "127.0.0.1");
    EXPECT_EQ(server.requests("/after"), 0);

    auto none = fetchAll(fetcher, {server.url("/missing"), server.url("/few")});
    ASSERT_TRUE(none);
    EXPECT_FALSE(*none);
}

TEST(TrackerListFetcher, EndlessBodyIsCutAtTheCap) {
    test::ensureQtApp();
    test::LoopbackHttpServer server;
    server.route("/endless", {200, {}, true});
    server.route("/good", {200, trackerLines(6, 0), false});
    TrackerListFetcher fetcher;
    fetcher.setLimits({2000, 8000, 256 * 1024});
    auto result = fetchAll(fetcher, {server.url("/endless"), server.url("/good")});
    ASSERT_TRUE(result && *result);
    EXPECT_EQ((*result)->trackers.size(), 6u);
}

TEST(TrackerListFetcher, SlowSourceHitsTheDeadline) {
    test::ensureQtApp();
    test::LoopbackHttpServer server;
    server.route("/good", {200, trackerLines(6, 0), false});
    // A listener that never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    std::string silentUrl = "http://127.0.0.1:" + std::to_string(silent.serverPort()) + "/x";
    TrackerListFetcher fetcher;
    fetcher.setLimits({60000, 1500, 1 << 20});
    auto result = fetchAll(fetcher, {silentUrl, server.url("/good")});
    ASSERT_TRUE(result && *result);
    EXPECT_EQ((*result)->trackers.size(), 6u);
}
