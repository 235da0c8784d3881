// The control bar over the real player: the track menus switch the audio
// and subtitles of an MKV with two of each, the next-episode button and the
// episodes menu open another file of the season, and the speed texts.

#include "tevro/player/control_bar.h"

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "tests/player/window_rig.h"
#include "tests/support/qt_app.h"

using namespace tevro;
using namespace std::chrono_literals;
using test::PlayerWindowTest;

namespace {

// The menu entries that can be chosen, without section headers.
std::vector<QAction*> entries(QMenu* menu) {
    std::vector<QAction*> out;
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && a->isEnabled())
            out.push_back(a);
    return out;
}

QToolButton* buttonNamed(QWidget* parent, const char* name) {
    for (auto* b : parent->findChildren<QToolButton*>())
        if (b->accessibleName() == name)
            return b;
    return nullptr;
}

} // namespace

TEST(ControlBarText, SpeedTextsAndValues) {
    struct Case {
        double speed;
        const char* text;
        const char* value;
    };
    for (Case c : {Case{1.0, "1×", "1.0"}, Case{1.25, "1.25×", "1.25"}, Case{0.5, "0.5×", "0.5"},
                   Case{2.0, "2×", "2.0"}, Case{1.005, "1.005×", "1.005"}}) {
        EXPECT_EQ(ControlBar::speedText(c.speed).toStdString(), c.text);
        EXPECT_EQ(ControlBar::speedValue(c.speed), c.value);
    }
}

TEST_F(PlayerWindowTest, TrackMenusSwitchAudioAndSubtitles) {
    open(shared->tracksID, shared->tracks);
    ASSERT_TRUE(playing(0.5)) << state();
    ControlBar* bar = window->controlBar();

    auto audio = entries(bar->audioMenu());
    ASSERT_EQ(audio.size(), 2u);
    auto current = model->currentAudio();
    ASSERT_TRUE(current);
    // Choose the audio track that is not playing.
    QAction* other = audio[current->id == 1 ? 1 : 0];
    std::int64_t wanted = current->id == 1 ? 2 : 1;
    other->trigger();
    ASSERT_TRUE(test::waitUntil([&] {
        auto a = model->currentAudio();
        return a && a->id == wanted;
    })) << state();
    ASSERT_TRUE(test::waitUntil([&] {
        auto now = entries(bar->audioMenu());
        return now.size() == 2 && !now[wanted - 1]->icon().isNull() &&
               now[2 - wanted]->icon().isNull();
    }));
    QToolButton* audioButton = buttonNamed(bar, "Аудиодорожка");
    ASSERT_TRUE(audioButton);
    EXPECT_EQ(audioButton->text(),
              QString::fromStdString(PlayerModel::shortName(model->currentAudio()).value()));

    // "Off" first, then the two subtitle tracks.
    auto subtitles = entries(bar->subtitleMenu());
    ASSERT_EQ(subtitles.size(), 3u);
    subtitles[2]->trigger();
    ASSERT_TRUE(test::waitUntil([&] {
        auto s = model->currentSubtitle();
        return s && s->id == 2;
    })) << state();
    entries(bar->subtitleMenu())[0]->trigger();
    ASSERT_TRUE(test::waitUntil([&] { return !model->currentSubtitle(); })) << state();
    QToolButton* subtitleButton = buttonNamed(bar, "Субтитры");
    ASSERT_TRUE(subtitleButton);
    EXPECT_EQ(subtitleButton->text().toStdString(), "Выкл.");
    EXPECT_FALSE(model->error());
}

TEST_F(PlayerWindowTest, NextEpisodeButtonAndEpisodesMenuOpenAnotherFileOfTheSeason) {
    open(shared->seasonID, shared->firstEpisode);
    ASSERT_TRUE(playing(0.5)) << state();
    ControlBar* bar = window->controlBar();
    QToolButton* next = buttonNamed(bar, "Следующая серия");
    ASSERT_TRUE(next);
    ASSERT_TRUE(test::waitUntil([&] { return next->isVisible(); }));
    auto episodes = entries(bar->episodesMenu());
    ASSERT_EQ(episodes.size(), 2u);
    EXPECT_TRUE(episodes[0]->text().startsWith("Show.S01E01")) << episodes[0]->text().toStdString();
    EXPECT_TRUE(episodes[1]->text().startsWith("Show.S01E02"));
    EXPECT_FALSE(episodes[0]->icon().isNull());
    // The playing episode's entry does nothing.
    episodes[0]->trigger();
    test::spinFor(200ms);
    EXPECT_EQ(model->item()->file.i, shared->firstEpisode.i);

    QTest::mouseClick(next, Qt::LeftButton);
    ASSERT_TRUE(test::waitUntil(
        [&] { return model->item() && model->item()->file.i == shared->secondEpisode.i; }));
    EXPECT_EQ(window->fileName().toStdString(), "Show.S01E02.mkv");
    ASSERT_TRUE(playing(0.5)) << state();
    EXPECT_FALSE(next->isVisible());

    entries(bar->episodesMenu())[0]->trigger();
    ASSERT_TRUE(test::waitUntil(
        [&] { return model->item() && model->item()->file.i == shared->firstEpisode.i; }));
}
