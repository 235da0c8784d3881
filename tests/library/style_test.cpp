#include <gtest/gtest.h>

#include <QPainter>
#include <QApplication>
#include <QHBoxLayout>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QVBoxLayout>
#include <QRawFont>
#include <QTest>

#include "tests/library/widgets_app.h"
#include "tevro/library/library_button_style.h"
#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"

namespace tevro {
namespace {

QColor over(const QColor& fg, qreal alpha, const QColor& bg = Qt::black) {
    return QColor::fromRgbF(fg.redF() * alpha + bg.redF() * (1 - alpha),
                            fg.greenF() * alpha + bg.greenF() * (1 - alpha),
                            fg.blueF() * alpha + bg.blueF() * (1 - alpha));
}

TEST(SymbolsTest, EveryNameIsAGlyphOfTheIconFontOrADrawnShape) {
    test::ensureWidgetsApp();
    const QRawFont raw = QRawFont::fromFont(Symbols::font(24));
    ASSERT_TRUE(raw.isValid());
    ASSERT_EQ(raw.familyName(), QStringLiteral("Material Icons"));
    for (const std::string& name : Symbols::names()) {
        SCOPED_TRACE(name);
        if (auto glyph = Symbols::glyph(name)) {
            EXPECT_TRUE(raw.supportsCharacter(uint(*glyph)));
        }
        // Glyph or shape, something visible is drawn.
        const QImage image = Symbols::pixmap(name, Qt::white, 24).toImage();
        int lit = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                lit += qAlpha(image.pixel(x, y)) > 128;
        EXPECT_GT(lit, 12);
    }
    EXPECT_FALSE(Symbols::contains("no.such.symbol"));
    EXPECT_FALSE(Symbols::glyph("tortoise").has_value());
    EXPECT_TRUE(Symbols::contains("tortoise"));
}

TEST(LibraryButtonStyleTest, ProminentAndOrdinaryPillsSideBySide) {
    test::ensureWidgetsApp();
    QPushButton prominent(QStringLiteral("Смотреть"));
    QPushButton ordinary(QStringLiteral("Смотреть"));
    LibraryButtonStyle::apply(&prominent, true);
    LibraryButtonStyle::apply(&ordinary, false);
    EXPECT_EQ(prominent.sizeHint(), ordinary.sizeHint());
    EXPECT_EQ(prominent.sizeHint().height(), 34);
    const QFont font = LibraryStyle::font(12, QFont::Medium);
    EXPECT_EQ(prominent.font().pixelSize(), 12);
    EXPECT_EQ(prominent.font().weight(), QFont::Medium);
    EXPECT_NEAR(prominent.sizeHint().width(),
                QFontMetricsF(font).horizontalAdvance(QStringLiteral("Смотреть")) + 28, 1.0);

    for (auto* b : {&prominent, &ordinary})
        b->resize(b->sizeHint());
    const QImage a = test::render(prominent);
    const QImage o = test::render(ordinary);
    // The padding is filled; the corners are cut by the 9-pixel radius.
    EXPECT_TRUE(test::near(a.pixelColor(5, 17), LibraryStyle::accent()));
    EXPECT_TRUE(test::near(o.pixelColor(5, 17), LibraryStyle::raised()));
    EXPECT_TRUE(test::near(a.pixelColor(0, 0), Qt::black));
    // Label colours: some black pixels inside the accent pill, some white in the grey one.
    auto count = [](const QImage& img, const QColor& c) {
        int n = 0;
        for (int y = 8; y < 26; ++y)
            for (int x = 14; x < img.width() - 14; ++x)
                n += test::near(img.pixelColor(x, y), c, 40);
        return n;
    };
    EXPECT_GT(count(a, Qt::black), 10);
    EXPECT_GT(count(o, Qt::white), 10);
}

TEST(LibraryButtonStyleTest, PressedAndDisabledOpacity) {
    test::ensureWidgetsApp();
    QPushButton button(QStringLiteral("Открыть"));
    LibraryButtonStyle::apply(&button, true);
    LibraryButtonStyle::setSymbol(&button, "folder");
    button.resize(button.sizeHint());
    EXPECT_NEAR(button.sizeHint().width(),
                QFontMetricsF(button.font()).horizontalAdvance(QStringLiteral("Открыть")) + 14 + 6 +
                    28,
                1.0);
    const QPoint probe(4, 17);
    EXPECT_TRUE(test::near(test::render(button).pixelColor(probe), LibraryStyle::accent()));
    button.setDown(true);
    EXPECT_TRUE(
        test::near(test::render(button).pixelColor(probe), over(LibraryStyle::accent(), 0.7)));
    // A disabled button stays at 0.4 while pressed.
    button.setEnabled(false);
    EXPECT_TRUE(
        test::near(test::render(button).pixelColor(probe), over(LibraryStyle::accent(), 0.4)));
    button.setDown(false);
    EXPECT_TRUE(
        test::near(test::render(button).pixelColor(probe), over(LibraryStyle::accent(), 0.4)));
}

TEST(LibraryButtonStyleTest, EmptyLabelStillMakesAClickablePill) {
    test::ensureWidgetsApp();
    QPushButton button;
    LibraryButtonStyle::apply(&button, false);
    EXPECT_EQ(button.sizeHint(), QSize(28, 34));
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    button.resize(button.sizeHint());
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(3, 17));
    EXPECT_EQ(clicks, 1);
}

} // namespace
} // namespace tevro

namespace tevro {
namespace {

TEST(LibraryButtonStyleTest, LayoutsGiveThePillItsHeight) {
    test::ensureWidgetsApp();
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* row = new QHBoxLayout;
    auto* button = new QPushButton(QStringLiteral("Смотреть"));
    LibraryButtonStyle::apply(button, true);
    button->setDown(true);
    row->addWidget(button);
    row->addStretch(1);
    column->addLayout(row);
    column->activate();
    window.resize(window.sizeHint());
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(button->height(), 34) << "window " << window.height();
}

// Check boxes and radio buttons show on the black window whether or not
// they are on; the ones that are on carry the accent.
TEST(ApplicationStyleTest, IndicatorsAreVisibleOnBlackInEveryState) {
    test::ensureWidgetsApp();
    auto indicator = [](QAbstractButton& button) {
        button.resize(button.sizeHint());
        const QImage image = test::render(button);
        QStyleOptionButton option;
        option.initFrom(&button);
        const QRect box = button.style()->subElementRect(qobject_cast<QCheckBox*>(&button)
                                                             ? QStyle::SE_CheckBoxIndicator
                                                             : QStyle::SE_RadioButtonIndicator,
                                                         &option, &button);
        int lit = 0, accent = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                lit += c.lightness() > 60;
                accent += test::near(c, LibraryStyle::accent(), 30);
            }
        return std::pair{lit, accent};
    };
    for (bool checked : {false, true}) {
        SCOPED_TRACE(checked ? "on" : "off");
        QCheckBox box(QStringLiteral("Последовательно"));
        QRadioButton radio(QStringLiteral("Случайный"));
        for (QAbstractButton* b :
             {static_cast<QAbstractButton*>(&box), static_cast<QAbstractButton*>(&radio)}) {
            b->setChecked(checked);
            const auto [lit, accent] = indicator(*b);
            EXPECT_GT(lit, 8);
            if (checked)
                EXPECT_GT(accent, 8);
            else
                EXPECT_EQ(accent, 0);
        }
    }
}

} // namespace
} // namespace tevro
