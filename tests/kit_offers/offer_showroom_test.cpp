#include "quorvel-kit/offers/offer_showroom.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "quorvel-kit/offers/offer_banner.h"
#include "quorvel-kit/offers/offer_card.h"
#include "tests/support/qt_app.h"

namespace quorvel {
namespace {

std::vector<Offer> offers(int n) {
    std::vector<Offer> list(size_t(n), Offer{});
    for (int i = 0; i < n; ++i) {
        list[size_t(i)].id = "o" + std::to_string(i);
        list[size_t(i)].title = "Offer " + std::to_string(i);
        list[size_t(i)].ctaLabel = "Open";
        list[size_t(i)].bullets = {"one", "two"};
    }
    return list;
}

const OffersShowroom::Labels kLabels{"Другие приложения", "Закрыть", "Скрыть"};

TEST(OffersShowroom, ColumnsShowEveryOfferInOneRow) {
    OffersModel model(offers(6));
    OffersShowroom showroom(model, kLabels, OffersShowroom::Layout::columns, [] {});
    showroom.resize(1800, 700);
    showroom.show();
    const auto views = showroom.offerViews();
    ASSERT_EQ(views.size(), 6u);
    for (size_t i = 0; i < views.size(); ++i) {
        auto* banner = qobject_cast<OfferBanner*>(views[i]);
        ASSERT_TRUE(banner);
        EXPECT_EQ(banner->imageHeight(), 96);
        EXPECT_EQ(banner->hideButton()->accessibleName(), "Скрыть");
    }
    for (size_t i = 1; i < views.size(); ++i) {
        EXPECT_EQ(views[i]->y(), views[0]->y());
        EXPECT_GT(views[i]->x(), views[i - 1]->x());
        EXPECT_NEAR(views[i]->width(), views[0]->width(), 1);
    }
    EXPECT_FALSE(showroom.scrollArea());

    // A banner's hide button hides its offer through the model.
    QTest::mouseClick(qobject_cast<OfferBanner*>(views[4])->hideButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(model.offers().size(), 5u);
    EXPECT_EQ(showroom.offerViews().size(), 5u);
    EXPECT_FALSE(showroom.findChild<QWidget*>("offer.o4"));
}

TEST(OffersShowroom, ListScrollsThroughCardsAndHidingTheLastCloses) {
    OffersModel model(offers(4));
    int closed = 0;
    OffersShowroom showroom(model, kLabels, OffersShowroom::Layout::list, [&] { ++closed; });
    showroom.resize(600, 700);
    showroom.show();
    ASSERT_TRUE(showroom.scrollArea());
    ASSERT_TRUE(tevro::test::waitUntil(
        [&] { return showroom.scrollArea()->verticalScrollBar()->maximum() > 0; }));
    ASSERT_EQ(showroom.offerViews().size(), 4u);
    auto* card = showroom.findChild<QWidget*>("offer.o2");
    ASSERT_TRUE(card);
    EXPECT_EQ(showroom.findChild<QAbstractButton*>("offer.hide.o2")->accessibleName(), "Скрыть");

    // Hiding through a card's own button takes that card away, keeping the order.
    for (const char* id : {"o2", "o0", "o3"}) {
        auto* hide = showroom.findChild<QAbstractButton*>(QStringLiteral("offer.hide.") + id);
        ASSERT_TRUE(hide) << id;
        QTest::mouseClick(hide, Qt::LeftButton, {}, hide->rect().center());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(showroom.findChild<QWidget*>(QStringLiteral("offer.") + id)) << id;
    }
    ASSERT_EQ(showroom.offerViews().size(), 1u);
    EXPECT_TRUE(showroom.offerViews()[0]->findChild<QWidget*>("offer.o1"));
    EXPECT_EQ(closed, 0);
    model.hide(model.offers().front());
    EXPECT_EQ(closed, 1);
}

TEST(OffersShowroom, CloseButtonAndEscapeClose) {
    OffersModel model(offers(2));
    int closed = 0;
    OffersShowroom showroom(model, kLabels, OffersShowroom::Layout::list, [&] { ++closed; });
    showroom.show();
    EXPECT_EQ(showroom.closeButton()->accessibleName(), "Закрыть");
    QTest::mouseClick(showroom.closeButton(), Qt::LeftButton);
    EXPECT_EQ(closed, 1);
    QApplication::setActiveWindow(&showroom);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&showroom));
    QTest::keyClick(&showroom, Qt::Key_Escape);
    EXPECT_EQ(closed, 2);

    // A showroom that appears with nothing to show does not close by itself.
    OffersModel empty(std::vector<Offer>{});
    int emptyClosed = 0;
    OffersShowroom bare(empty, kLabels, OffersShowroom::Layout::columns, [&] { ++emptyClosed; });
    bare.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(emptyClosed, 0);
}

} // namespace
} // namespace quorvel
