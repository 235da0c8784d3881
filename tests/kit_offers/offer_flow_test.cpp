#include "quorvel-kit/offers/offer_flow.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QWidget>

#include "quorvel-kit/offers/uneven_corners.h"

namespace quorvel {
namespace {

// A flow of fixed-size boxes, spacing 8.
struct Flow {
    explicit Flow(std::vector<QSize> sizes) : layout(new OfferFlow(8, &host)) {
        for (QSize size : sizes) {
            auto* box = new QWidget(&host);
            box->setFixedSize(size);
            layout->addWidget(box);
            boxes.push_back(box);
        }
    }
    QWidget host;
    OfferFlow* layout;
    std::vector<QWidget*> boxes;
};

TEST(OfferFlow, BreaksLinesByTheWidthItHas) {
    const std::vector<QSize> three{{40, 20}, {40, 30}, {40, 20}};
    struct Case {
        std::optional<int> width;
        QSize size;
    };
    const Case cases[] = {
        {std::nullopt, {136, 30}}, // open width: one line
        {200, {136, 30}},
        {100, {88, 58}}, // 40 + 8 + 40 fits, the third starts a line at 30 + 8
        {88, {88, 58}},  // a box ending exactly at the edge stays
        {87, {40, 86}},  // crossing by one point wraps
        {30, {30, 86}},  // each box alone, overflowing; the width never exceeds the offer
    };
    for (const Case& c : cases) {
        Flow flow(three);
        EXPECT_EQ(flow.layout->sizeFor(c.width), c.size) << c.width.value_or(-1);
        if (c.width) {
            EXPECT_EQ(flow.layout->heightForWidth(*c.width), c.size.height());
        }
    }
    EXPECT_EQ(Flow({}).layout->sizeFor(100), QSize(0, 0));
    EXPECT_EQ(Flow({}).layout->sizeFor(std::nullopt), QSize(0, 0));
}

TEST(OfferFlow, PlacesLinesTopAlignedAndMirrorsRightToLeft) {
    Flow flow({{40, 20}, {40, 30}, {40, 20}});
    flow.host.resize(100, 200);
    flow.layout->setGeometry(QRect(0, 0, 100, 200));
    EXPECT_EQ(flow.boxes[0]->geometry(), QRect(0, 0, 40, 20)); // not centred beside the taller
    EXPECT_EQ(flow.boxes[1]->geometry(), QRect(48, 0, 40, 30));
    EXPECT_EQ(flow.boxes[2]->geometry(), QRect(0, 38, 40, 20));

    flow.host.setLayoutDirection(Qt::RightToLeft);
    flow.layout->setGeometry(QRect(0, 0, 100, 200));
    EXPECT_EQ(flow.boxes[0]->geometry(), QRect(60, 0, 40, 20));
    EXPECT_EQ(flow.boxes[2]->geometry(), QRect(60, 38, 40, 20));
}

TEST(OfferFlow, AWideTextIsMeasuredAtTheWidthItHas) {
    QWidget host;
    auto* flow = new OfferFlow(8, &host);
    auto* chip = new QWidget(&host);
    chip->setFixedSize(30, 20);
    auto* text =
        new QLabel(QStringLiteral("a rather long text that has to break into lines"), &host);
    text->setWordWrap(true);
    flow->addWidget(chip);
    flow->addWidget(text);
    const int oneLine = text->sizeHint().height();
    const QSize size = flow->sizeFor(120);
    EXPECT_LE(size.width(), 120);
    // The text starts its own line and wraps there.
    EXPECT_GT(size.height(), 20 + 8 + oneLine);
    flow->setGeometry(QRect(0, 0, 120, size.height()));
    EXPECT_EQ(text->geometry().topLeft(), QPoint(0, 28));
    EXPECT_EQ(text->geometry().height(), text->heightForWidth(120));
}

TEST(UnevenCorners, RoundsTheTopCornersOnly) {
    const QRectF rect(0, 0, 100, 60);
    const QPainterPath square = UnevenCorners{0}.path(rect);
    EXPECT_EQ(square.boundingRect(), rect);
    EXPECT_TRUE(square.contains(QPointF(0.5, 0.5)));

    const QPainterPath rounded = UnevenCorners{12}.path(rect);
    EXPECT_EQ(rounded.boundingRect(), rect);
    EXPECT_FALSE(rounded.contains(QPointF(1, 1)));     // top left cut
    EXPECT_FALSE(rounded.contains(QPointF(99, 1)));    // top right cut
    EXPECT_TRUE(rounded.contains(QPointF(0.5, 59.5))); // bottom corners square
    EXPECT_TRUE(rounded.contains(QPointF(99.5, 59.5)));
    // The straight runs: top from 12 to 88, the sides from 12 down.
    EXPECT_EQ(rounded.elementAt(1), QPointF(0, 12));
    bool topRun = false;
    for (int i = 0; i < rounded.elementCount(); ++i)
        topRun |= QPointF(rounded.elementAt(i)) == QPointF(88, 0);
    EXPECT_TRUE(topRun);
}

} // namespace
} // namespace quorvel
