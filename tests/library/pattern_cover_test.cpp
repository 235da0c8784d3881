#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QPainter>

#include "tests/library/widgets_app.h"
#include "tevro/library/pattern_cover.h"

namespace tevro {
namespace {

QByteArray digest(const QImage& image) {
    return QCryptographicHash::hash(QByteArrayView(image.constBits(), image.sizeInBytes()),
                                    QCryptographicHash::Sha256)
        .toHex();
}

TEST(PatternCoverTest, HashPicksTheRamp) {
    EXPECT_EQ(PatternCover::hash(""), 14695981039346656037ull);
    EXPECT_EQ(PatternCover::rampIndex(""), 5);
    EXPECT_EQ(PatternCover::hash("abc"), 0xe71fa2190541574bull);
    EXPECT_EQ(PatternCover::rampIndex("abc"), 3);
}

TEST(PatternCoverTest, SameKeySameImageEveryTimeAndKeysDiffer) {
    test::ensureWidgetsApp();
    std::vector<QByteArray> digests;
    for (int i = 0; i < PatternCover::kRampCount; ++i) {
        const QImage cached = PatternCover::artwork(i);
        ASSERT_EQ(cached.size(), QSize(640, 400));
        // The cache hands out the very same image; a fresh drawing is identical.
        EXPECT_EQ(PatternCover::artwork(i).cacheKey(), cached.cacheKey());
        EXPECT_EQ(digest(PatternCover::draw(i)), digest(cached)) << "ramp " << i;
        digests.push_back(digest(cached));
    }
    std::sort(digests.begin(), digests.end());
    EXPECT_EQ(std::unique(digests.begin(), digests.end()), digests.end());

    // The gradient runs from the ramp's first colour at the lower left to its
    // last at the upper right, under faint lines.
    const QImage ramp3 = PatternCover::artwork(3);
    EXPECT_TRUE(test::near(ramp3.pixelColor(0, 399), QColor(0x28556A), 40));
    EXPECT_TRUE(test::near(ramp3.pixelColor(639, 0), QColor(0x24495D), 40));
    // Lines are drawn: some pixels are clearly lighter than the gradient.
    int light = 0;
    for (int x = 0; x < 640; x += 2)
        light += qGray(ramp3.pixel(x, 200)) > 140;
    EXPECT_GT(light, 2);
}

TEST(PatternCoverTest, WidgetFillsAndCropsTheCoverOfItsIdentity) {
    test::ensureWidgetsApp();
    PatternCover a("abc");
    PatternCover b("abd");
    for (auto* w : {&a, &b})
        w->resize(200, 200); // squarer than the cover: the sides are cropped
    const QImage ia = test::render(a);
    const QImage ib = test::render(b);
    EXPECT_NE(digest(ia), digest(ib));
    EXPECT_EQ(digest(ia), digest(test::render(a)));
    // The whole tile is covered (no letterbox bands of the black backdrop).
    for (QPoint p : {QPoint(0, 0), QPoint(199, 0), QPoint(0, 199), QPoint(199, 199)})
        EXPECT_FALSE(test::near(ia.pixelColor(p), Qt::black, 10));
}

} // namespace
} // namespace tevro
