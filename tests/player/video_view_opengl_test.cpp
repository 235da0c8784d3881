// The player window's video drawn with libmpv's OpenGL renderer on a private
// Xvfb (Mesa's software OpenGL): a 1080p clip streamed from a throttled
// loopback seeder is drawn while the window can be seen and consumed without drawing
// while it is minimised or hidden; the snapshot has the clip's colours.

#include "tevro/player/video_view.h"

#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include "tests/support/playback/clips.h"
#include "tests/support/playback/media_torrent.h"
#include "tests/support/playback/player_rig.h"
#include "tests/support/playback/widget_app.h"
#include "tests/support/playback/xvfb_display.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tevro/player/player_model.h"
#include "tevro/player/player_window.h"

using namespace tevro;
using namespace std::chrono_literals;

namespace {

class XvfbEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        display = playback::XvfbDisplay::start();
        ASSERT_TRUE(display) << "Xvfb did not start";
        playback::ensureWidgetApp();
    }
    std::unique_ptr<playback::XvfbDisplay> display;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
           std::abs(a.blue() - b.blue()) < 40;
}

struct Hiding {
    const char* name;
    std::function<void(QWidget&)> hide;
    std::function<void(QWidget&)> show;
};

} // namespace

TEST(PlayerWindowOpenGL, DrawsWhileSeenSkipsWhileHiddenAndSnapshotsTheFrame) {
    test::TempDir dir;
    playback::ClipOptions clip;
    clip.seconds = 40;
    clip.fps = 30;
    clip.source = playback::quartersSource(1920, 1080, 30);
    ASSERT_TRUE(playback::makeVideo(dir / "seed" / "Quarters" / "Quarters.mkv", clip));
    auto torrent = playback::MediaTorrent::create(dir / "seed", "Quarters");
    playback::PlayerRig rig(dir.path(), {});
    std::string id = rig.add(torrent);
    TorrentFile file = rig.file(id, "Quarters.mkv");

    PlayerModel model(rig.engine());
    auto core = model.ensureCore();
    ASSERT_TRUE(core);
    {
        // Before it is shown the view has no GL context, so no render context.
        VideoView early(core);
        EXPECT_EQ(early.renderer(), VideoView::Renderer::openGL);
        EXPECT_FALSE(early.hasContext());
        EXPECT_FALSE(early.writeSnapshot(QString::fromStdString((dir / "early.png").string())));
    }
    PlayerWindow window(model, rig.engine());
    window.show();
    ASSERT_TRUE(window.videoView());
    VideoView* view = window.videoView();
    ASSERT_EQ(view->renderer(), VideoView::Renderer::openGL);
    ASSERT_TRUE(test::waitUntil([&] { return view->hasContext() && view->framesVisible(); }));

    model.open(id, file);
    ASSERT_TRUE(test::waitUntil([&] { return model.position() > 1.5; }, 30s))
        << model.error().value_or("no error");
    auto before = view->counters();
    test::spinFor(2s);
    auto seen = view->counters();
    // The clip's frames are drawn as they come: about 60 in the two seconds,
    // at least a quarter of them while the whole suite loads software GL.
    EXPECT_GT(seen.rendered - before.rendered, 15u);
    EXPECT_GT(seen.due - before.due, 15u);
    EXPECT_EQ(seen.skipped, 0u);

    QString png = QString::fromStdString((dir / "frame.png").string());
    ASSERT_TRUE(view->writeSnapshot(png));
    QImage shot(png);
    ASSERT_EQ(shot.size(), QSize(960, 540));
    EXPECT_TRUE(near(shot.pixelColor(240, 135), Qt::red))
        << shot.pixelColor(240, 135).name().toStdString();
    EXPECT_TRUE(near(shot.pixelColor(720, 135), Qt::green))
        << shot.pixelColor(720, 135).name().toStdString();
    EXPECT_TRUE(near(shot.pixelColor(240, 405), Qt::blue))
        << shot.pixelColor(240, 405).name().toStdString();
    EXPECT_TRUE(near(shot.pixelColor(720, 405), Qt::white))
        << shot.pixelColor(720, 405).name().toStdString();

    const Hiding hidings[] = {
        {"minimised", [](QWidget& w) { w.showMinimized(); }, [](QWidget& w) { w.showNormal(); }},
        {"hidden", [](QWidget& w) { w.hide(); }, [](QWidget& w) { w.show(); }},
    };
    for (const auto& h : hidings) {
        SCOPED_TRACE(h.name);
        h.hide(window);
        ASSERT_TRUE(test::waitUntil([&] { return !view->framesVisible(); }));
        auto hidden = view->counters();
        double position = model.position();
        test::spinFor(2s);
        auto later = view->counters();
        EXPECT_EQ(later.rendered, hidden.rendered);
        EXPECT_GT(later.skipped - hidden.skipped, 30u);
        EXPECT_GT(model.position(), position + 1.0);

        h.show(window);
        ASSERT_TRUE(test::waitUntil([&] { return view->framesVisible(); }));
        ASSERT_TRUE(
            test::waitUntil([&] { return view->counters().rendered > later.rendered + 10; }));
    }
    EXPECT_FALSE(model.error());
    window.close();
    EXPECT_FALSE(model.item());
}
