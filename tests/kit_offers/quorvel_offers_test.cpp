#include "quorvel-kit/offers/quorvel_offers.h"

#include <atomic>
#include <mutex>

#include <gtest/gtest.h>

#include "quorvel-kit/offers/url_session_offers_transport.h"
#include "tests/support/loopback_https_server.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

TEST(QuorvelOffers, AnswersNoneUntilConfiguredThenAsksTheEngine) {
    tevro::test::ensureQtApp();
    auto ask = [] {
        std::mutex lock;
        std::optional<OffersEngine::Answer> answer;
        QuorvelOffers::shared().available(false, [&](OffersEngine::Answer a) {
            std::lock_guard guard(lock);
            answer = std::move(a);
        });
        EXPECT_TRUE(tevro::test::waitUntil([&] {
            std::lock_guard guard(lock);
            return answer.has_value();
        }));
        std::lock_guard guard(lock);
        return answer.value_or(std::nullopt);
    };
    EXPECT_EQ(ask(), std::nullopt);

    tevro::test::LoopbackHttpsServer server;
    server.route("/v1/offers?appId=tevro&platform=macos&locale=ru&limit=20",
                 {.body = R"({"offers":[]})"});
    tevro::test::TempDir dir;
    OffersDependencies dependencies;
    dependencies.transport = std::make_shared<URLSessionOffersTransport>();
    dependencies.now = systemNow;
    dependencies.channel = Channel::test;
    QuorvelOffers::shared().configure(
        OffersConfiguration("tevro", QUrl(QString::fromStdString(server.url(""))), dir.path(), 20,
                            false, false, [] { return std::string("ru"); }),
        dependencies);
    EXPECT_EQ(ask(), std::vector<Offer>{});
}

TEST(QuorvelOffers, OpenChecksTheLinkAgain) {
    std::vector<QUrl> opened;
    QuorvelOffers::shared().setOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    Offer offer;
    for (const char* link :
         {"http://n.test/", "javascript:alert(1)", "https://u@n.test/", "file:///etc/passwd", ""}) {
        offer.ctaURL = QUrl(link);
        EXPECT_FALSE(QuorvelOffers::shared().open(offer)) << link;
    }
    EXPECT_TRUE(opened.empty());
    offer.ctaURL = QUrl("https://n.test/get");
    EXPECT_TRUE(QuorvelOffers::shared().open(offer));
    EXPECT_EQ(opened, std::vector<QUrl>{QUrl("https://n.test/get")});
    QuorvelOffers::shared().setOpener({});
}

} // namespace
} // namespace quorvel
