// The seek bar on its own: clicks and drags pick a time (reported once, on
// release, clamped to the file), nothing while the length is unknown, and
// the hover label's time and position.

#include "tevro/player/seek_bar.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace tevro;

namespace {

struct Fixture {
    Fixture() {
        window.resize(300, 100);
        bar = new SeekBar(&window);
        bar->setGeometry(50, 60, 200, SeekBar::kHeight);
        bar->setDuration(100);
        bar->onSeek = [this](double t) { seeks.push_back(t); };
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QPoint at(int x) const { return QPoint(x, SeekBar::kHeight / 2); }
    void move(int x, Qt::MouseButtons buttons = Qt::NoButton) {
        QMouseEvent e(QEvent::MouseMove, QPointF(at(x)), bar->mapToGlobal(QPointF(at(x))),
                      Qt::NoButton, buttons, {});
        QApplication::sendEvent(bar, &e);
    }
    QWidget window;
    SeekBar* bar = nullptr;
    std::vector<double> seeks;
};

} // namespace

TEST(SeekBar, AClickSeeksToThePointOnRelease) {
    Fixture f;
    QTest::mousePress(f.bar, Qt::LeftButton, {}, f.at(50));
    EXPECT_EQ(f.bar->dragTime(), 25.0);
    EXPECT_TRUE(f.seeks.empty());
    QTest::mouseRelease(f.bar, Qt::LeftButton, {}, f.at(50));
    EXPECT_EQ(f.seeks, std::vector<double>{25.0});
    EXPECT_FALSE(f.bar->dragTime());
}

TEST(SeekBar, ADragFollowsThePointerAndSeeksOnceClampedToTheEnds) {
    struct Case {
        int releaseX;
        double expected;
    };
    for (Case c : {Case{150, 75.0}, Case{-40, 0.0}, Case{500, 100.0}}) {
        SCOPED_TRACE(c.releaseX);
        Fixture f;
        QTest::mousePress(f.bar, Qt::LeftButton, {}, f.at(20));
        f.move(c.releaseX, Qt::LeftButton);
        EXPECT_EQ(f.bar->dragTime(), c.expected);
        EXPECT_TRUE(f.seeks.empty());
        QTest::mouseRelease(f.bar, Qt::LeftButton, {}, f.at(c.releaseX));
        EXPECT_EQ(f.seeks, std::vector<double>{c.expected});
    }
}

TEST(SeekBar, UnknownLengthIgnoresClicksAndShowsNoHoverLabel) {
    Fixture f;
    f.bar->setDuration(0);
    f.bar->setRanges({{0.1, 0.2}});
    QTest::mouseClick(f.bar, Qt::LeftButton, {}, f.at(100));
    f.move(100);
    EXPECT_TRUE(f.seeks.empty());
    EXPECT_FALSE(f.bar->hoverText());
    EXPECT_EQ(f.bar->ranges().size(), 1u);
}

TEST(SeekBar, HoverLabelShowsTheTimeAndStaysInside) {
    struct Case {
        int x;
        const char* text;
        int labelX;
    };
    // Width 200, 100 s: label at x - 22, kept within 0...W - 50.
    for (Case c : {Case{100, "0:50", 78}, Case{5, "0:02", 0}, Case{199, "1:39", 150}}) {
        SCOPED_TRACE(c.x);
        Fixture f;
        f.move(c.x);
        ASSERT_TRUE(f.bar->hoverText());
        EXPECT_EQ(f.bar->hoverText()->toStdString(), c.text);
        EXPECT_EQ(f.bar->hoverLabelX(), c.labelX);
    }
}
