#include "quorvel-kit/offers/offer_images.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>

#include <gtest/gtest.h>

#include "quorvel-kit/offers/url_session_offers_transport.h"
#include "tests/support/offers_service.h"
#include "tests/support/qt_app.h"

namespace quorvel {
namespace {

using tevro::test::OffersService;
using tevro::test::waitUntil;

// Answers arrive on the loader's thread.
struct Answers {
    std::mutex lock;
    std::vector<QImage> images;
    size_t count() {
        std::lock_guard guard(lock);
        return images.size();
    }
    QImage at(size_t i) {
        std::lock_guard guard(lock);
        return images.at(i);
    }
};

class OfferImagesTest : public ::testing::Test {
protected:
    QImage loadNow(const QUrl& url) {
        Answers answers;
        images.load(url, [&](QImage image) {
            std::lock_guard guard(answers.lock);
            answers.images.push_back(std::move(image));
        });
        EXPECT_TRUE(waitUntil([&] { return answers.count() == 1; }, std::chrono::seconds(30)));
        return answers.count() ? answers.at(0) : QImage();
    }

    OffersService service;
    OfferImages images{std::make_shared<URLSessionOffersTransport>()};
};

TEST_F(OfferImagesTest, UnsafeAddressesGiveNothingWithoutARequest) {
    service.route("/a.png", {.body = OffersService::png(10, 10)});
    QUrl plain = service.url("/a.png");
    plain.setScheme("http");
    QUrl user = service.url("/a.png");
    user.setUserName("me");
    for (const QUrl& url : {plain, user, QUrl("https:///a.png"), QUrl()})
        EXPECT_TRUE(loadNow(url).isNull()) << url.toString().toStdString();
    EXPECT_EQ(service.log().size(), 0u);
}

TEST_F(OfferImagesTest, SharesOneDownloadAndBoundsTheSize) {
    service.route("/wide.png", {.body = OffersService::png(3000, 1500)});
    service.route("/small.png", {.body = OffersService::png(200, 100)});
    Answers answers;
    for (int i = 0; i < 3; ++i)
        images.load(service.url("/wide.png"), [&](QImage image) {
            std::lock_guard guard(answers.lock);
            answers.images.push_back(std::move(image));
        });
    ASSERT_TRUE(waitUntil([&] { return answers.count() == 3; }, std::chrono::seconds(30)));
    EXPECT_EQ(service.requests("/wide.png"), 1);
    EXPECT_EQ(answers.at(0).size(), QSize(1400, 700));
    EXPECT_EQ(answers.at(2).cacheKey(), answers.at(0).cacheKey());
    EXPECT_EQ(images.cached(service.url("/wide.png")).size(), QSize(1400, 700));

    EXPECT_EQ(loadNow(service.url("/small.png")).size(), QSize(200, 100));
    // From memory now: no second request.
    EXPECT_FALSE(loadNow(service.url("/small.png")).isNull());
    EXPECT_EQ(service.requests("/small.png"), 1);
}

TEST_F(OfferImagesTest, FailuresLeaveNoTraceAndTheCapsHoldWhileReceiving) {
    const qint64 cap = OfferImages::kMaximumBytes;
    QByteArray exact = OffersService::png(64, 64);
    exact.append(QByteArray(cap - exact.size(), '\0'));
    service.route("/exact.png", {.body = exact});

    std::pair<const char*, OffersService::Reply> failing[] = {
        {"/missing.png", {.status = 404, .body = OffersService::png(4, 4)}},
        {"/empty.png", {.body = ""}},
        {"/text.png", {.body = "not a picture"}},
        {"/over.png", {.body = exact + "x"}},
        // Without a length and never ending: only the cap stops it.
        {"/endless.png", {.body = QByteArray(cap + 65'536, 'x'), .stall = true, .noLength = true}},
        // A few bytes declaring a picture of 900 million pixels.
        {"/bomb.png", {.body = OffersService::pngDeclaring(30'000, 30'000)}},
        {"/tall.png", {.body = OffersService::pngDeclaring(6000, 4001)}},
    };
    for (const auto& [path, reply] : failing) {
        service.route(path, reply);
        EXPECT_TRUE(loadNow(service.url(path)).isNull()) << path;
        EXPECT_TRUE(images.cached(service.url(path)).isNull()) << path;
        loadNow(service.url(path));
        EXPECT_EQ(service.requests(path), 2) << path;
    }
    EXPECT_EQ(loadNow(service.url("/exact.png")).size(), QSize(64, 64));
}

TEST_F(OfferImagesTest, KeepsTheLatest48InInsertionOrder) {
    service.handle([](const OffersService::Request&) {
        return OffersService::Reply{.body = OffersService::png(2, 2)};
    });
    for (int i = 0; i < 49; ++i) {
        ASSERT_FALSE(loadNow(service.url("/p" + std::to_string(i))).isNull());
        // Reading the first one does not keep it.
        images.cached(service.url("/p0"));
    }
    EXPECT_TRUE(images.cached(service.url("/p0")).isNull());
    for (int i = 1; i < 49; ++i)
        EXPECT_FALSE(images.cached(service.url("/p" + std::to_string(i))).isNull()) << i;
}

TEST_F(OfferImagesTest, RunsOnlyAFewDownloadsAtOnce) {
    // Each picture takes a while to arrive.
    service.handle([](const OffersService::Request&) {
        return OffersService::Reply{
            .body = OffersService::png(8, 8), .dribbleBytes = 16, .dribbleMs = 40};
    });
    Answers answers;
    const int n = 10;
    for (int i = 0; i < n; ++i)
        images.load(service.url("/slow" + std::to_string(i)), [&](QImage image) {
            std::lock_guard guard(answers.lock);
            answers.images.push_back(std::move(image));
        });
    int most = 0;
    ASSERT_TRUE(waitUntil(
        [&] {
            most = std::max({most, service.openConnections(), int(images.downloadsRunning())});
            return answers.count() == size_t(n);
        },
        std::chrono::seconds(60)));
    EXPECT_LE(most, int(OfferImages::kMaximumDownloads));
    EXPECT_GE(most, 2);
    for (size_t i = 0; i < answers.count(); ++i)
        EXPECT_FALSE(answers.at(i).isNull()) << i;
}

// Only a few downloads run at once: the pictures asked for first (the first
// page's) must be the first to start, whatever their addresses.
TEST_F(OfferImagesTest, PrefetchStartsThePicturesInTheOrderGiven) {
    service.handle([](const OffersService::Request&) {
        return OffersService::Reply{
            .body = OffersService::png(8, 8), .dribbleBytes = 16, .dribbleMs = 40};
    });
    std::vector<QUrl> urls;
    for (const char* name : {"/z", "/y", "/x", "/w", "/d", "/c", "/b", "/a"})
        urls.push_back(service.url(name));
    std::atomic<int> ended = 0;
    images.prefetch(urls, 60, [&] { ++ended; });
    ASSERT_TRUE(waitUntil([&] { return ended == 1; }, std::chrono::seconds(60)));
    ASSERT_EQ(service.log().size(), urls.size());
    std::set<std::string> firstStarted;
    for (size_t i = 0; i < OfferImages::kMaximumDownloads; ++i)
        firstStarted.insert(service.log()[i].path);
    EXPECT_EQ(firstStarted, (std::set<std::string>{"/z", "/y", "/x", "/w"}));
}

TEST_F(OfferImagesTest, PrefetchWaitsNoLongerThanItsLimit) {
    std::atomic<int> ended = 0;
    images.prefetch({}, 5, [&] { ++ended; });
    EXPECT_EQ(ended, 1); // nothing to load: at once

    service.route("/slow.png",
                  {.body = OffersService::png(8, 8), .dribbleBytes = 8, .dribbleMs = 50});
    QUrl slow = service.url("/slow.png");
    images.prefetch({slow, slow, slow}, 0, [&] { ++ended; });
    ASSERT_TRUE(waitUntil([&] { return ended == 2; }));
    EXPECT_TRUE(images.cached(slow).isNull());
    // The download goes on and fills the cache.
    ASSERT_TRUE(waitUntil([&] { return !images.cached(slow).isNull(); }, std::chrono::seconds(30)));
    EXPECT_EQ(service.requests("/slow.png"), 1);

    service.route("/fast.png", {.body = OffersService::png(8, 8)});
    images.prefetch({slow, service.url("/fast.png")}, 60, [&] { ++ended; });
    ASSERT_TRUE(waitUntil([&] { return ended == 3; }, std::chrono::seconds(30)));
    EXPECT_FALSE(images.cached(service.url("/fast.png")).isNull());
}

} // namespace
} // namespace quorvel
