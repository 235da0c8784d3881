// The control bar over the real player: the track menus switch the audio
// and subtitles of an MKV with two of each, the next-episode button and the
// episodes menu open another file of the season (an open menu keeps its
// entries), the row fits every width the window allows, and the speed texts.

#include "tevro/player/control_bar.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "tests/player/window_rig.h"
#include "tests/support/qt_app.h"
#include "tevro/player/seek_bar.h"

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

// At the window's least width and a little above it, every control of the row
// lies inside the bar, none over another, the buttons and the time whole;
// what gives way does so in order: the titles first, then the percentage,
// then the slider.
TEST_F(PlayerWindowTest, TheRowFitsEveryWidthTheWindowAllows) {
    open(shared->longID, shared->longEpisode);
    ASSERT_TRUE(playing(0.5)) << state();
    // Paused, the controls stay shown.
    model->togglePause();
    ASSERT_TRUE(test::waitUntil([&] { return model->paused(); }));
    ControlBar* bar = window->controlBar();
    QToolButton* audio = buttonNamed(bar, "Аудиодорожка");
    QToolButton* subtitles = buttonNamed(bar, "Субтитры");
    ASSERT_TRUE(audio && subtitles);
    ASSERT_TRUE(test::waitUntil([&] {
        return audio->accessibleDescription().toStdString() == shared->longAudioTitle;
    })) << audio->accessibleDescription().toStdString();
    ASSERT_TRUE(test::waitUntil([&] { return buttonNamed(bar, "Список серий")->isVisible(); }));
    auto* slider = bar->findChild<QSlider*>();
    QLabel* percent = nullptr;
    QLabel* time = nullptr;
    for (auto* l : bar->findChildren<QLabel*>())
        (l->text().endsWith('%') ? percent : time) = l;
    ASSERT_TRUE(slider && percent && time);

    for (int width : {640, 660, 720, 900, 1280}) {
        window->resize(width, 400);
        test::spinFor(50ms);
        SCOPED_TRACE(width);
        EXPECT_EQ(bar->width(), width - 32);
        QRect inside = bar->contentsRect().marginsRemoved(QMargins(16, 0, 16, 0));
        // The seek bar spans the panel above the row.
        EXPECT_EQ(bar->seekBar()->geometry().left(), inside.left());
        EXPECT_EQ(bar->seekBar()->width(), inside.width());
        std::vector<QWidget*> row;
        for (auto* w : bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w->isVisible() && w != bar->seekBar())
                row.push_back(w);
        for (QWidget* w : row) {
            EXPECT_TRUE(inside.contains(w->geometry()))
                << w->accessibleName().toStdString() << " " << w->geometry().x() << "+"
                << w->geometry().width();
            if (auto* b = qobject_cast<QToolButton*>(w)) {
                EXPECT_GE(b->width(), std::min(b->sizeHint().width(), b->maximumWidth()))
                    << b->accessibleName().toStdString();
            }
            for (QWidget* other : row)
                EXPECT_TRUE(w == other || !w->geometry().intersects(other->geometry()))
                    << w->accessibleName().toStdString() << " / "
                    << other->accessibleName().toStdString();
        }
        EXPECT_GE(time->width(), time->fontMetrics().horizontalAdvance(time->text()));
        // What gave way could not have been kept by cutting the titles further.
        int titles = 0;
        for (QToolButton* b : {audio, subtitles})
            titles += b->text().isEmpty() ? 0 : b->fontMetrics().horizontalAdvance(b->text());
        if (!percent->isVisible()) {
            EXPECT_LT(titles, 38 + 6) << audio->text().toStdString();
        }
        if (!slider->isVisible() || slider->width() < 110) {
            EXPECT_FALSE(percent->isVisible());
            EXPECT_LT(titles, 40 + 6) << audio->text().toStdString();
        }
    }
    // Wide, the percentage and the whole slider are back and the title shows.
    EXPECT_TRUE(percent->isVisible());
    EXPECT_EQ(slider->width(), 110);
    EXPECT_FALSE(audio->text().isEmpty());
    EXPECT_LE(audio->width(), 190);
}

// The episodes menu follows the downloads while it is open without being
// built anew: the highlighted entry stays highlighted and its text changes.
TEST_F(PlayerWindowTest, AnOpenEpisodesMenuKeepsItsEntriesAndHighlight) {
    open(shared->seasonID, shared->firstEpisode);
    ASSERT_TRUE(playing(0.5)) << state();
    ControlBar* bar = window->controlBar();
    QMenu* menu = bar->episodesMenu();
    ASSERT_EQ(entries(menu).size(), 2u);
    QPointer<QAction> second = entries(menu)[1];
    menu->popup(window->mapToGlobal(QPoint(200, 200)));
    ASSERT_TRUE(test::waitUntil([&] { return menu->isVisible(); }));
    menu->setActiveAction(second);

    auto& engine = shared->rig->engine();
    engine.setPriority(shared->seasonID, {static_cast<int>(shared->secondEpisode.i)},
                       FilePriority::skip);
    EXPECT_TRUE(test::waitUntil(
        [&] { return second && second->text().endsWith("не скачивается"); }, 20s));
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->activeAction(), second.data());
    menu->close();
    engine.setPriority(shared->seasonID, {static_cast<int>(shared->secondEpisode.i)},
                       FilePriority::normal);
    EXPECT_TRUE(test::waitUntil(
        [&] { return !entries(bar->episodesMenu())[1]->text().contains("не скачивается"); },
        20s));
}
