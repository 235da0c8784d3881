#include "quorvel-kit/offers/offer_picture.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "quorvel-kit/offers/offer_images.h"
#include "quorvel-kit/offers/url_session_offers_transport.h"
#include "tests/support/offers_service.h"
#include "tests/support/qt_app.h"

namespace quorvel {
namespace {

using tevro::test::OffersService;
using tevro::test::waitUntil;

QImage drawn(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

class OfferPictureTest : public ::testing::Test {
protected:
    OfferPictureTest() {
        service.route("/red.png", {.body = OffersService::png(200, 100, Qt::red)});
        service.route("/bad.png", {.body = "no picture"});
    }

    OffersService service;
    OfferImages images{std::make_shared<URLSessionOffersTransport>()};
};

TEST_F(OfferPictureTest, LoadsWhenShownAndFitsWithoutCropping) {
    OfferPicture picture(service.url("/red.png"), std::nullopt, nullptr, &images);
    picture.resize(100, 100);
    EXPECT_EQ(service.log().size(), 0u); // nothing before it is shown
    QSignalSpy loaded(&picture, &OfferPicture::loaded);
    picture.show();
    ASSERT_TRUE(waitUntil([&] { return loaded.count() == 1; }, std::chrono::seconds(20)));
    EXPECT_EQ(picture.pictureRect(), QRectF(0, 25, 100, 50));
    QImage image = drawn(picture);
    EXPECT_EQ(image.pixelColor(50, 50), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(50, 10).alpha(), 0);      // letterboxed, not filled
    EXPECT_EQ(image.pixelColor(0, 50), QColor(Qt::red)); // no border without a corner
}

TEST_F(OfferPictureTest, ShowsAPictureInMemoryAtOnceAndFramesItWithACorner) {
    std::atomic<bool> ready = false;
    images.load(service.url("/red.png"), [&](QImage) { ready = true; });
    ASSERT_TRUE(waitUntil([&] { return ready.load(); }, std::chrono::seconds(20)));

    OfferPicture picture(service.url("/red.png"), 0.0, nullptr, &images);
    picture.resize(200, 100);
    QImage first = drawn(picture); // before any event: the first frame
    EXPECT_EQ(first.pixelColor(100, 50), QColor(Qt::red));
    // The 1-pixel white line at 0.35 over the edge, none outside.
    QColor edge = first.pixelColor(100, 0);
    EXPECT_GT(edge.green(), 60);
    EXPECT_EQ(edge.red(), 255);
    picture.show();
    tevro::test::spinFor(std::chrono::milliseconds(100));
    EXPECT_EQ(service.requests("/red.png"), 1);
}

TEST_F(OfferPictureTest, NoAddressOrAFailedLoadStaysClearWithoutABorder) {
    OfferPicture none(std::nullopt, 8.0, nullptr, &images);
    OfferPicture failed(service.url("/bad.png"), 8.0, nullptr, &images);
    QSignalSpy loaded(&failed, &OfferPicture::loaded);
    for (OfferPicture* p : {&none, &failed}) {
        p->resize(60, 60);
        p->show();
    }
    ASSERT_TRUE(waitUntil([&] { return loaded.count() == 1; }, std::chrono::seconds(20)));
    for (OfferPicture* p : {&none, &failed}) {
        EXPECT_TRUE(p->image().isNull());
        QImage image = drawn(*p);
        EXPECT_EQ(image, [&] {
            QImage clear(image.size(), image.format());
            clear.fill(Qt::transparent);
            return clear;
        }());
    }
    EXPECT_EQ(service.log().size(), 1u); // only the failed one asked
}

} // namespace
} // namespace quorvel
