#include "quorvel-kit/offers/offer_card.h"

#include <cmath>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QEnterEvent>
#include <QGridLayout>
#include <QTest>

#include "quorvel-kit/offers/offer_card_layout.h"
#include "quorvel-kit/offers/offer_card_text.h"
#include "quorvel-kit/offers/pressable_card.h"
#include "tests/support/offers_service.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using tevro::test::waitUntil;

Offer offer(OfferDesign::Layout layout, std::string id = "abc") {
    Offer o;
    o.id = std::move(id);
    o.targetAppID = "lumora";
    o.title = "Фото без суеты";
    o.body = "Альбомы собираются сами.";
    o.ctaLabel = "Открыть";
    o.ctaURL = QUrl("https://example.com/lumora");
    o.design.layout = layout;
    return o;
}

Offer withPicture(Offer o) {
    o.imageURL = QUrl("https://127.0.0.1:1/shot.png");
    return o;
}

std::vector<QString> texts(const QWidget* root) {
    std::vector<QString> out;
    for (const OfferCardText* text : root->findChildren<OfferCardText*>())
        out.push_back(text->text());
    return out;
}

bool has(const std::vector<QString>& list, const QString& text) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

void hover(QWidget* card, bool inside) {
    if (inside) {
        const QPointF at = QRectF(card->rect()).center();
        QEnterEvent enter(at, at, card->mapToGlobal(at));
        QCoreApplication::sendEvent(card, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(card, &leave);
    }
}

qreal angleOf(const QTransform& t) {
    return qRadiansToDegrees(std::atan2(t.m12(), t.m11()));
}
qreal scaleOf(const QTransform& t) {
    return std::hypot(t.m11(), t.m12());
}

TEST(OfferCardLayout, ScalesTextWithTheUserUpToHalfAgain) {
    struct Case {
        qreal scale;
        qreal title, hero, arrow, cornerColumn, sideColumn;
    };
    const Case cases[] = {
        {0.8, 26, 58, 11.05, 262, 252},
        {1.0, 26, 58, 11.05, 262, 252},
        {1.2, 31.2, 69.6, 13.26, 314.4, 302.4},
        {2.0, 39, 87, 16.575, 393, 378},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(OfferCardLayout::scaled(26, c.scale), c.title);
        EXPECT_DOUBLE_EQ(OfferCardLayout::scaled(58, c.scale), c.hero);
        EXPECT_NEAR(OfferCardLayout::scaled(13 * 0.85, c.scale), c.arrow, 1e-9);
        OfferCardLayout corner(offer(OfferDesign::Layout::corner), true);
        OfferCardLayout side(offer(OfferDesign::Layout::side), true);
        corner.setTextScale(c.scale);
        side.setTextScale(c.scale);
        EXPECT_NEAR(corner.wideColumnWidth(), c.cornerColumn, 1e-9);
        EXPECT_NEAR(side.wideColumnWidth(), c.sideColumn, 1e-9);
        EXPECT_EQ(corner.findChild<QWidget*>("column")->width(), std::lround(c.cornerColumn));
        EXPECT_EQ(corner.findChild<QWidget*>("title")->font().pixelSize(), std::lround(c.title));
    }
}

TEST(OfferCard, ShowsTheDesignsArrangementWideFrom440Points) {
    for (OfferDesign::Layout layout : kAllOfferLayouts) {
        OfferCard card(offer(layout), "Скрыть", {}, {});
        const QString name = QString::fromUtf8(rawValue(layout).data());
        for (auto [width, wide] : {std::pair{440, true}, {439, false}, {700, true}, {300, false}}) {
            card.resize(width, card.heightForWidth(width));
            card.show();
            ASSERT_TRUE(card.content());
            EXPECT_EQ(card.content()->wide(), wide) << width;
            EXPECT_TRUE(card.content()->isVisible());
            EXPECT_TRUE(card.content()->findChild<QWidget*>(name)) << name.toStdString();
        }
    }
}

TEST(OfferCard, WideFormsKeepTheirLeastHeight) {
    OfferCard corner(offer(OfferDesign::Layout::corner), "Скрыть", {}, {});
    OfferCard side(offer(OfferDesign::Layout::side), "Скрыть", {}, {});
    EXPECT_EQ(corner.heightForWidth(520), 400);
    EXPECT_EQ(side.heightForWidth(520), 392);
    // A short narrow card is not held to it.
    EXPECT_LT(corner.heightForWidth(380), 400);
}

TEST(OfferCardLayout, BlocksShowWhatTheOfferHas) {
    Offer o = offer(OfferDesign::Layout::corner);
    o.targetAppID = "unknown-app";
    o.body.clear();
    o.stats = {{"7", "days"}, {"4K", "HDR"}, {"0", "ads"}};
    o.bullets = {"one", "two", "three"};
    o.design.bulletIconURLs = {QUrl("https://127.0.0.1:1/b.png")};
    OfferCardLayout corner(o, true);
    const auto shown = texts(&corner);
    EXPECT_TRUE(has(shown, "UNKNOWN-APP"));
    EXPECT_TRUE(has(shown, "7"));
    EXPECT_TRUE(has(shown, "days"));
    EXPECT_TRUE(has(shown, QStringLiteral("4K HDR · 0 ads")));
    EXPECT_FALSE(corner.findChild<QWidget*>("body"));
    EXPECT_EQ(corner.findChildren<QWidget*>("bulletIcon").size(), 1);
    EXPECT_TRUE(corner.findChild<QWidget*>("bullets"));

    o.design.layout = OfferDesign::Layout::side;
    OfferCardLayout side(o, true);
    ASSERT_TRUE(side.findChild<QWidget*>("chips"));
    std::vector<QString> chips;
    for (QWidget* chip : side.findChild<QWidget*>("chips")->findChildren<QWidget*>())
        chips.push_back(chip->accessibleName());
    EXPECT_EQ(chips, (std::vector<QString>{"7 days", "4K HDR", "0 ads"}));

    o.stats = {{"1", "app"}};
    o.bullets.clear();
    o.design.layout = OfferDesign::Layout::corner;
    OfferCardLayout one(o, true);
    EXPECT_TRUE(has(texts(&one), "app"));
    EXPECT_FALSE(one.findChild<QWidget*>("bullets"));
    o.stats.clear();
    OfferCardLayout none(o, false);
    EXPECT_FALSE(none.findChild<QWidget*>("hero"));
    o.design.layout = OfferDesign::Layout::side;
    OfferCardLayout noChips(o, true);
    EXPECT_FALSE(noChips.findChild<QWidget*>("chips"));
}

TEST(OfferCardLayout, TilesFillTwoColumnsWhenWide) {
    Offer o = offer(OfferDesign::Layout::bottom);
    o.bullets = {"one", "two", "three"};
    for (auto [wide, cells] :
         {std::pair{true, std::vector<std::pair<int, int>>{{0, 0}, {0, 1}, {1, 0}}},
          {false, std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}}}}) {
        OfferCardLayout card(o, wide);
        auto* grid = card.findChild<QWidget*>("tiles");
        ASSERT_TRUE(grid);
        auto* layout = static_cast<QGridLayout*>(grid->layout());
        ASSERT_EQ(layout->count(), 3);
        for (int i = 0; i < 3; ++i) {
            int row = 0, column = 0, rows = 0, columns = 0;
            layout->getItemPosition(i, &row, &column, &rows, &columns);
            EXPECT_EQ(std::pair(row, column), cells[size_t(i)]) << wide << i;
        }
    }
}

TEST(OfferCardLayout, ServiceTextsArePlainText) {
    Offer o = offer(OfferDesign::Layout::side);
    o.title = "<b>bold</b><img src=x>";
    o.bullets = {"<a href='https://evil'>link</a>"};
    OfferCardLayout card(o, false);
    EXPECT_TRUE(has(texts(&card), "<b>bold</b><img src=x>"));
    // Laid out letter for letter, tags included.
    auto* title = card.findChild<OfferCardText*>("title");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->sizeHint().width(),
              std::ceil(QFontMetricsF(title->font()).horizontalAdvance(title->text())));
}

TEST(OfferCardLayout, PicturePlacementFollowsTheCardWidth) {
    // Corner, wide: the picture's width is the room beside the column, 200 to 380.
    for (auto [width, picture] : {std::pair{520, 246}, {450, 200}, {700, 380}}) {
        OfferCardLayout card(withPicture(offer(OfferDesign::Layout::corner)), true);
        card.resize(width, 420);
        auto placement = card.picturePlacement();
        ASSERT_TRUE(placement);
        EXPECT_DOUBLE_EQ(placement->frame.width(), picture) << width;
        EXPECT_DOUBLE_EQ(placement->frame.right(), width + 24); // past the trailing edge
        EXPECT_DOUBLE_EQ(placement->frame.bottom(), 420 - 22);
        EXPECT_NEAR(angleOf(placement->transform), -6, 1e-9);
        EXPECT_NEAR(scaleOf(placement->transform), 1, 1e-9);
    }
    // Side, wide: 228 before the trailing edge, never nearer the column than 18.
    for (auto [width, left] : {std::pair{480, 292}, {600, 372}}) {
        OfferCardLayout card(withPicture(offer(OfferDesign::Layout::side)), true);
        card.resize(width, 400);
        auto placement = card.picturePlacement();
        ASSERT_TRUE(placement);
        EXPECT_DOUBLE_EQ(placement->frame.left(), left) << width;
        EXPECT_DOUBLE_EQ(placement->frame.top(), 70);
        EXPECT_NEAR(angleOf(placement->transform), 5, 1e-9);
    }
    // No address, no picture; the wide forms keep their height.
    OfferCardLayout bare(offer(OfferDesign::Layout::corner), true);
    EXPECT_FALSE(bare.picturePlacement());
}

TEST(OfferCard, HoverAndPressRevealTheCardUnlessMotionIsReduced) {
    OfferCard card(withPicture(offer(OfferDesign::Layout::corner)), "Скрыть", {}, {});
    card.resize(520, card.heightForWidth(520));
    card.show();
    PressableCard* button = card.button();
    QWidget* inside = card.content();
    EXPECT_EQ(offerReveal(inside), 0);
    QWidget outside;
    EXPECT_EQ(offerReveal(&outside), 0);

    hover(button, true);
    ASSERT_TRUE(waitUntil([&] { return offerReveal(inside) == 1; }));
    const auto revealed = card.content()->picturePlacement();
    ASSERT_TRUE(revealed);
    EXPECT_NEAR(angleOf(revealed->transform), -2, 1e-9);
    EXPECT_NEAR(scaleOf(revealed->transform), 1.05, 1e-9);
    hover(button, false);
    ASSERT_TRUE(waitUntil([&] { return offerReveal(inside) == 0; }));

    QTest::mousePress(button, Qt::LeftButton, {}, button->rect().center());
    ASSERT_TRUE(waitUntil([&] { return offerReveal(inside) == 1; }));
    QTest::mouseRelease(button, Qt::LeftButton, {}, button->rect().center());
    ASSERT_TRUE(waitUntil([&] { return offerReveal(inside) == 0; }));

    // Turning the setting on brings a revealed card back; then nothing reveals it.
    hover(button, true);
    ASSERT_TRUE(waitUntil([&] { return offerReveal(inside) == 1; }));
    PressableCard::setReduceMotion(true);
    ASSERT_TRUE(waitUntil([&] { return offerReveal(inside) == 0; }));
    hover(button, false);
    hover(button, true);
    QTest::mousePress(button, Qt::LeftButton, {}, button->rect().center());
    tevro::test::spinFor(std::chrono::milliseconds(700));
    EXPECT_EQ(offerReveal(inside), 0);
    EXPECT_FALSE(button->isActive());
    QTest::mouseRelease(button, Qt::LeftButton, {}, button->rect().center());
    PressableCard::setReduceMotion(false);
}

TEST(OfferCard, ActionsIdentifiersAndTheHideButton) {
    for (bool light : {true, false}) {
        Offer o = offer(OfferDesign::Layout::side);
        o.design.foreground = light ? OfferDesign::RGB{1, 1, 1} : OfferDesign::RGB{0, 0, 0};
        int opened = 0;
        int hidden = 0;
        OfferCard card(
            o, "Скрыть предложение", [&] { ++opened; }, [&] { ++hidden; });
        card.resize(520, card.heightForWidth(520));
        card.show();

        EXPECT_EQ(card.findChild<QWidget*>("offer.abc"), card.button());
        QAbstractButton* hide = card.findChild<QAbstractButton*>("offer.hide.abc");
        ASSERT_EQ(hide, card.hideButton());
        EXPECT_EQ(hide->accessibleName(), "Скрыть предложение");
        EXPECT_EQ(hide->toolTip(), "Скрыть предложение");
        EXPECT_EQ(hide->geometry(), QRect(520 - 12 - 28, 12, 28, 28));
        QImage drawn(hide->size(), QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        hide->render(&drawn, {}, {}, QWidget::DrawChildren);
        EXPECT_NEAR(drawn.pixelColor(5, 14).alphaF(), light ? 0.2 : 0.8, 0.02);

        QTest::mouseClick(hide, Qt::LeftButton, {}, hide->rect().center());
        EXPECT_EQ(hidden, 1);
        EXPECT_EQ(opened, 0);
        QTest::mouseClick(card.button(), Qt::LeftButton, {}, QPoint(200, 200));
        EXPECT_EQ(opened, 1);
        // The rounded corner takes no clicks.
        QTest::mouseClick(card.button(), Qt::LeftButton, {}, QPoint(2, 2));
        EXPECT_EQ(opened, 1);
        EXPECT_EQ(hidden, 1);
        // The keyboard opens the focused card.
        card.button()->setFocus();
        QTest::keyClick(card.button(), Qt::Key_Space);
        EXPECT_EQ(opened, 2);
    }
}

TEST(OfferCard, RightToLeftOffersMirror) {
    Offer o = offer(OfferDesign::Layout::corner);
    o.isRightToLeft = true;
    OfferCard card(o, "Скрыть", {}, {});
    card.resize(520, card.heightForWidth(520));
    card.show();
    EXPECT_EQ(card.hideButton()->geometry().topLeft(), QPoint(12, 12));
    QWidget* title = card.content()->findChild<QWidget*>("title");
    const QRect onCard(title->mapTo(&card, QPoint(0, 0)), title->size());
    // The wide column stands at the right, the title's room for the hide
    // button on its left.
    EXPECT_EQ(onCard.right(), 520 - 22 - 1);
    EXPECT_EQ(onCard.left(), 520 - 22 - 262 + 30);
}

TEST(OfferCardLayout, TheBottomPictureRunsToTheEdgeUnderTopRoundedCorners) {
    tevro::test::TempDir root;
    setenv("QUORVEL_TEST_ROOT", root.path().c_str(), 1);
    tevro::test::OffersService service;
    service.route("/shot.png", {.body = tevro::test::OffersService::png(400, 200, Qt::red)});
    Offer o = offer(OfferDesign::Layout::bottom);
    o.imageURL = service.url("/shot.png");
    OfferCardLayout card(o, false);
    card.resize(380, card.heightForWidth(380));
    card.show();
    ASSERT_TRUE(waitUntil(
        [&] { return card.picturePlacement() && card.picturePlacement()->frame.height() > 0; },
        std::chrono::seconds(20)));
    QCoreApplication::processEvents(); // the card takes the picture's height
    card.resize(380, card.heightForWidth(380));
    QCoreApplication::processEvents();

    const auto placement = card.picturePlacement();
    ASSERT_TRUE(placement);
    const QRectF frame = placement->frame;
    EXPECT_EQ(frame.width(), 380 - 2 * 20);   // inset 20 on each side in the narrow form
    EXPECT_EQ(frame.height(), 170);           // its own proportions
    EXPECT_EQ(frame.bottom(), card.height()); // no padding below it
    QImage drawn(card.size(), QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    card.render(&drawn, {}, {}, QWidget::DrawChildren);
    auto at = [&](QPointF p) { return drawn.pixelColor(placement->transform.map(p).toPoint()); };
    auto red = [](QColor c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; };
    EXPECT_TRUE(red(at({frame.center().x(), frame.top() + 4})));
    EXPECT_FALSE(red(at(frame.topLeft() + QPointF(1.5, 1.5))));   // rounded
    EXPECT_FALSE(red(at(frame.topRight() + QPointF(-1.5, 1.5)))); // rounded
    EXPECT_TRUE(red(at(frame.bottomLeft() + QPointF(10, -2))));   // square
    EXPECT_TRUE(red(at(frame.bottomRight() + QPointF(-10, -2))));
    // Tilted back at rest: the top edge is narrower than the bottom.
    const qreal top = placement->transform.map(frame.topRight()).x() -
                      placement->transform.map(frame.topLeft()).x();
    EXPECT_LT(top, frame.width() - 4);
}

} // namespace
} // namespace quorvel
