// The player window under QT_QPA_PLATFORM=offscreen, drawing through
// libmpv's software renderer: real engine, loopback seeder, clips made by
// ffmpeg. Keys and scroll act through the model wherever the focus is (the
// seek bar, reached by Tab, takes its steps from assistive tools), the
// controls fade after
// undisturbed playback and return with the pointer, the seek bar shows the
// downloaded stretches and seeks, closing stops playback and the reader,
// and opening again resumes where it stopped.

#include "tevro/player/player_window.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "tests/player/window_rig.h"
#include "tests/support/qt_app.h"
#include "tevro/player/control_bar.h"
#include "tevro/player/seek_bar.h"
#include "tevro/player/stream_protocol.h"
#include "tevro/player/video_view.h"

using namespace tevro;
using namespace std::chrono_literals;
using test::PlayerWindowTest;

namespace {

void scroll(QWidget* target, int dy) {
    QPointF at(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, dy), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &e);
}

bool isBlack(const QImage& image) {
    for (int y = 0; y < image.height(); y += 17)
        for (int x = 0; x < image.width(); x += 13)
            if (qGray(image.pixel(x, y)) > 40)
                return false;
    return true;
}

} // namespace

TEST(PlayerWindowText, ProgressLabel) {
    struct Case {
        bool loaded, waiting, buffering;
        std::optional<double> progress;
        std::int64_t rate;
        const char* expected;
    };
    const Case cases[] = {
        {false, false, false, std::nullopt, 0, "Открытие"},
        {false, true, false, std::nullopt, 0, "Открытие"},
        {true, true, false, std::nullopt, 0, "Перемотка"},
        {true, true, true, std::nullopt, 0, "Буферизация"},
        {true, false, true, 0.427, 0, "Буферизация 42%"},
        {true, false, true, 0.999, 0, "Буферизация 99%"},
        {false, false, false, std::nullopt, 1, "Открытие · 1 байт/с"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlayerWindow::progressText(c.loaded, c.waiting, c.buffering, c.progress, c.rate)
                      .toStdString(),
                  c.expected);
}

TEST_F(PlayerWindowTest, NothingPlayingShowsTheOpeningBoxAndTheControls) {
    EXPECT_EQ(window->windowTitle().toStdString(), "Плеер");
    EXPECT_TRUE(window->fileName().isEmpty());
    EXPECT_TRUE(window->controlsShown());
    EXPECT_EQ(window->status(), PlayerWindow::Status::progress);
    EXPECT_EQ(window->statusText().toStdString(), "Открытие");
    EXPECT_EQ(window->videoView()->renderer(), VideoView::Renderer::software);
    // The application keeps the window while it is closed: no frames then.
    EXPECT_TRUE(window->statusSpinning());
    window->hide();
    EXPECT_FALSE(window->statusSpinning());
    window->show();
    EXPECT_TRUE(window->statusSpinning());
}

TEST_F(PlayerWindowTest, PlaysThroughSoftwareVideoAndKeysActThroughTheModel) {
    open(shared->seasonID, shared->firstEpisode);
    EXPECT_EQ(window->windowTitle().toStdString(), "Show.S01E01.mkv");
    EXPECT_EQ(window->fileName().toStdString(), "Show.S01E01.mkv");
    ASSERT_TRUE(playing(1.0)) << state();
    EXPECT_EQ(window->status(), PlayerWindow::Status::none);
    EXPECT_FALSE(window->statusSpinning());
    VideoView* view = window->videoView();
    ASSERT_TRUE(test::waitUntil([&] { return view->counters().rendered > 10; })) << state();
    EXPECT_EQ(view->counters().skipped, 0u);
    QString png = QString::fromStdString((shared->dir / "window.png").string());
    ASSERT_TRUE(view->writeSnapshot(png));
    QImage shot(png);
    EXPECT_EQ(shot.size(), QSize(960, 540));
    EXPECT_FALSE(isBlack(shot));

    QTest::keyClick(view, Qt::Key_Space);
    ASSERT_TRUE(test::waitUntil([&] { return model->paused(); }));
    QTest::keyClick(view, Qt::Key_Space);
    ASSERT_TRUE(test::waitUntil([&] { return !model->paused(); }));

    double at = model->position();
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_NEAR(model->position(), at + 10, 0.5);
    ASSERT_TRUE(test::waitUntil([&] { return !model->seeking() && model->position() > at + 10; }))
        << state();
    QTest::keyClick(view, Qt::Key_Left);
    EXPECT_NEAR(model->position(), at, 1.5);

    QTest::keyClick(view, Qt::Key_Up);
    ASSERT_TRUE(test::waitUntil([&] { return model->volume() == 105; }));
    QTest::keyClick(view, Qt::Key_Down);
    ASSERT_TRUE(test::waitUntil([&] { return model->volume() == 100; }));
    scroll(view, 120);
    ASSERT_TRUE(test::waitUntil([&] { return model->volume() == 105; }));

    QTest::keyClick(view, Qt::Key_F);
    EXPECT_TRUE(window->isFullScreen());
    QTest::keyClick(view, Qt::Key_F);
    EXPECT_FALSE(window->isFullScreen());
    // A double click toggles full screen as well.
    QTest::mouseDClick(view, Qt::LeftButton);
    EXPECT_TRUE(window->isFullScreen());
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(window->isFullScreen());
    EXPECT_FALSE(model->error());
}

TEST_F(PlayerWindowTest, ControlsHideAfterUndisturbedPlayAndReturnWithThePointer) {
    open(shared->seasonID, shared->firstEpisode);
    ASSERT_TRUE(playing(0.5)) << state();
    model->poke();
    EXPECT_TRUE(window->controlsShown());
    ASSERT_TRUE(test::waitUntil([&] { return !window->controlsShown(); }, 6s));
    ASSERT_TRUE(test::waitUntil([&] { return !window->controlBar()->isVisible(); }));

    QTest::mouseMove(window->videoView(), QPoint(200, 200));
    EXPECT_TRUE(window->controlsShown());
    ASSERT_TRUE(test::waitUntil([&] { return window->controlBar()->isVisible(); }));

    // Paused, they stay.
    QTest::keyClick(window->videoView(), Qt::Key_Space);
    ASSERT_TRUE(test::waitUntil([&] { return model->paused(); }));
    test::spinFor(3500ms);
    EXPECT_TRUE(window->controlsShown());
    EXPECT_TRUE(window->controlBar()->isVisible());
}

TEST_F(PlayerWindowTest, SeekBarShowsDownloadedRangesAndSeeksOnClickAndDrag) {
    open(shared->seasonID, shared->firstEpisode);
    ASSERT_TRUE(playing(0.5)) << state();
    SeekBar* bar = window->controlBar()->seekBar();
    ASSERT_TRUE(test::waitUntil([&] { return !model->downloadedRanges().empty(); }));
    EXPECT_EQ(bar->ranges(), model->downloadedRanges());
    EXPECT_EQ(bar->duration(), model->duration());

    int y = bar->height() / 2;
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, y));
    double half = model->duration() / 2;
    EXPECT_NEAR(model->position(), half, model->duration() / bar->width() + 0.01);
    ASSERT_TRUE(
        test::waitUntil([&] { return !model->seeking() && model->position() > half + 0.5; }, 30s))
        << state();

    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, y));
    QPoint to(bar->width() / 4, y);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), bar->mapToGlobal(QPointF(to)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(bar, &move);
    // The bar follows the drag; the player seeks only on release.
    EXPECT_GT(model->position(), half);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, to);
    double quarter = model->duration() / 4;
    EXPECT_NEAR(model->position(), quarter, model->duration() / bar->width() + 0.01);
    ASSERT_TRUE(test::waitUntil(
        [&] { return !model->seeking() && model->position() > quarter + 0.5; }, 30s))
        << state();
    EXPECT_LT(model->position(), half);
}

TEST_F(PlayerWindowTest, ClosingStopsPlaybackAndTheReaderAndReopeningResumes) {
    open(shared->seasonID, shared->firstEpisode);
    ASSERT_TRUE(playing(0.5)) << state();
    EXPECT_GT(openStreams(), 0);
    model->seek(45);
    ASSERT_TRUE(test::waitUntil([&] { return !model->seeking() && model->position() > 45.5; }, 30s))
        << state();

    window->close();
    EXPECT_FALSE(model->item());
    EXPECT_FALSE(window->videoView());
    ASSERT_TRUE(test::waitUntil([&] { return openStreams() == 0; }));

    window->show();
    ASSERT_TRUE(window->videoView());
    ASSERT_TRUE(test::waitUntil([&] { return window->videoView()->hasContext(); }));
    open(shared->seasonID, shared->firstEpisode);
    EXPECT_GE(model->position(), 45.0);
    ASSERT_TRUE(playing(46.0)) << state();
    ASSERT_TRUE(test::waitUntil([&] { return window->videoView()->counters().rendered > 5; }));
}

// Keys reach the window through the focused widget, as a keyboard's do. Tab
// brings the focus to the seek bar, which shows a ring and leaves every key
// to the window; assistive tools step it by ten seconds.
TEST_F(PlayerWindowTest, KeysWorkWhereverTheFocusIsAndTheSeekBarStepsForAssistiveTools) {
    open(shared->seasonID, shared->firstEpisode);
    ASSERT_TRUE(playing(1.0)) << state();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QWindow* handle = window->windowHandle();
    SeekBar* seekBar = window->controlBar()->seekBar();
    auto edge = [&] { return seekBar->grab().toImage().pixel(seekBar->width() / 2, 0); };
    const QRgb unfocused = edge();

    QTest::keyClick(handle, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), seekBar);
    EXPECT_NE(edge(), unfocused);
    QTest::keyClick(handle, Qt::Key_Up);
    EXPECT_TRUE(test::waitUntil([&] { return model->volume() == 105; }));
    QTest::keyClick(handle, Qt::Key_Down);
    EXPECT_TRUE(test::waitUntil([&] { return model->volume() == 100; }));
    double at = model->position();
    QTest::keyClick(handle, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_NEAR(model->position(), at + 60, 1.0);
    QTest::keyClick(handle, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_NEAR(model->position(), at, 1.5);
    QTest::keyClick(handle, Qt::Key_Space);
    EXPECT_TRUE(test::waitUntil([&] { return model->paused(); }));
    EXPECT_EQ(QApplication::focusWidget(), seekBar);

    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(seekBar);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->role(), QAccessible::Slider);
    EXPECT_EQ(a->text(QAccessible::Name), "Позиция");
    EXPECT_EQ(a->text(QAccessible::Value), seekBar->accessibleValue());
    EXPECT_TRUE(a->text(QAccessible::Value).contains(" из "));
    ASSERT_TRUE(a->actionInterface());
    at = model->position();
    a->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    EXPECT_NEAR(model->position(), at + 10, 0.5);
    a->actionInterface()->doAction(QAccessibleActionInterface::decreaseAction());
    EXPECT_NEAR(model->position(), at, 0.5);

    QTest::keyClick(handle, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), seekBar);
    EXPECT_EQ(edge(), unfocused);
    QTest::keyClick(handle, Qt::Key_Space);
    EXPECT_TRUE(test::waitUntil([&] { return !model->paused(); }));
}
