#include "quorvel-kit/offers/url_session_offers_transport.h"

#include <gtest/gtest.h>

#include "tests/support/loopback_http_server.h"
#include "tests/support/loopback_https_server.h"
#include "tests/support/qt_app.h"

namespace quorvel {
namespace {

using tevro::test::LoopbackHttpsServer;

class OffersTransportTest : public ::testing::Test {
protected:
    OffersTransport::Result fetch(const std::string& url, int64_t cap = 262'144) {
        std::optional<OffersTransport::Result> result;
        OffersRequest request;
        request.url = QUrl(QString::fromStdString(url));
        request.maximumBytes = cap;
        request.headers = {{"Accept", "application/json"}};
        transport.send(request, [&](OffersTransport::Result r) { result = std::move(r); });
        EXPECT_TRUE(
            tevro::test::waitUntil([&] { return result.has_value(); }, std::chrono::seconds(20)));
        return result.value_or(std::unexpected(std::string("no answer")));
    }

    // The application must exist before the server does.
    bool m_app = (tevro::test::ensureQtApp(), true);
    LoopbackHttpsServer server;
    URLSessionOffersTransport transport;
};

TEST_F(OffersTransportTest, ReturnsEveryStatusWithHeadersAndNoCookies) {
    server.route("/v1/offers", {.status = 200,
                                .body = "{\"offers\":[]}",
                                .headers = {{"ETag", "\"e1\""}, {"Set-Cookie", "s=1"}}});
    server.route("/gone", {.status = 500, .body = "oops"});
    auto ok = fetch(server.url("/v1/offers"));
    ASSERT_TRUE(ok) << ok.error();
    EXPECT_EQ(ok->status, 200);
    EXPECT_EQ(ok->body, "{\"offers\":[]}");
    EXPECT_EQ(ok->header("etag"), "\"e1\"");
    EXPECT_EQ(server.log().back().headers.at("accept"), "application/json");

    auto failed = fetch(server.url("/gone"));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 500);
    // The cookie the service set never comes back.
    EXPECT_FALSE(server.log().back().headers.contains("cookie"));
}

TEST_F(OffersTransportTest, StopsReceivingAtTheCap) {
    const int64_t cap = 262'144;
    server.route("/exact", {.body = QByteArray(cap, 'x')});
    server.route("/over", {.body = QByteArray(cap + 1, 'x')});
    // No length, and the connection stays open: only the cap ends this early.
    server.route("/stream",
                 {.body = QByteArray(cap + 100'000, 'x'), .noLength = true, .stall = true});
    // A declared length far beyond the cap is refused before any body.
    server.route("/declared", {.body = "small", .declaredLength = qint64(1) << 40, .stall = true});

    auto exact = fetch(server.url("/exact"), cap);
    ASSERT_TRUE(exact) << exact.error();
    EXPECT_EQ(exact->body.size(), size_t(cap));
    for (const char* path : {"/over", "/stream", "/declared"}) {
        auto r = fetch(server.url(path), cap);
        ASSERT_FALSE(r) << path;
        EXPECT_EQ(r.error(), "reply too large") << path;
    }
}

TEST_F(OffersTransportTest, HttpsOnlyExceptThisMachine) {
    auto remote = fetch("http://offers.example.invalid/v1/offers");
    ASSERT_FALSE(remote);
    EXPECT_EQ(remote.error(), "refused: not an https address");
    EXPECT_FALSE(fetch("ftp://127.0.0.1/x"));

    tevro::test::LoopbackHttpServer plain;
    plain.route("/v1/offers", {200, "{}", false});
    auto local = fetch(plain.url("/v1/offers"));
    ASSERT_TRUE(local) << local.error();
    EXPECT_EQ(local->status, 200);
}

TEST_F(OffersTransportTest, FollowsRedirectsOnlyToHttps) {
    tevro::test::LoopbackHttpServer plain;
    plain.route("/target", {200, "plain", false});
    std::string secure = server.url("/target");
    server.route("/target", {.body = "secure"});
    server.route(
        "/to-https",
        {.status = 302,
         .headers = {{"Location", QByteArray::fromStdString("HTTPS" + secure.substr(5))}}});
    server.route("/to-http",
                 {.status = 302,
                  .headers = {{"Location", QByteArray::fromStdString(plain.url("/target"))}}});
    auto followed = fetch(server.url("/to-https"));
    ASSERT_TRUE(followed) << followed.error();
    EXPECT_EQ(followed->body, "secure");
    EXPECT_FALSE(fetch(server.url("/to-http")));
    EXPECT_EQ(plain.requests("/target"), 0);
}

TEST_F(OffersTransportTest, ReleasingCancelsRequestsInFlight) {
    server.route("/stall", {.body = "x", .declaredLength = 10, .stall = true});
    std::optional<OffersTransport::Result> result;
    {
        URLSessionOffersTransport local;
        OffersRequest request;
        request.url = QUrl(QString::fromStdString(server.url("/stall")));
        local.send(request, [&](OffersTransport::Result r) { result = std::move(r); });
        tevro::test::waitUntil([&] { return server.log().size() == 1; });
    }
    ASSERT_TRUE(result);
    EXPECT_FALSE(*result);
}

} // namespace
} // namespace quorvel
