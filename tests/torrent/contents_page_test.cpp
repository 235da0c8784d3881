// The contents page and the detail pane against a real engine: episodes in
// order, the search, playing through the real player model, the download
// toggle, transfer controls, and a change of torrent clearing the previous one.

#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "tests/support/qt_app.h"
#include "tests/torrent/views_fixture.h"
#include "tevro/player/player_model.h"
#include "tevro/torrent/contents_transfer_controls.h"
#include "tevro/torrent/detail_pane.h"
#include "tevro/torrent/episode_model.h"
#include "tevro/torrent/files_view.h"
#include "tevro/torrent/info_view.h"
#include "tevro/torrent/peers_view.h"
#include "tevro/torrent/tab_button.h"
#include "tevro/torrent/torrent_contents_view.h"

using namespace tevro;
using namespace std::chrono_literals;

namespace {

class ContentsPage : public test::ViewsTest {
protected:
    std::unique_ptr<TorrentContentsView> open(const std::string& id) {
        auto page = std::make_unique<TorrentContentsView>(engine());
        page->resize(1000, 760);
        page->setTorrent(*engine().torrent(id));
        page->show();
        EXPECT_TRUE(test::waitUntil([&] { return page->loaded(); }));
        return page;
    }

    QStringList titles(const std::vector<TorrentFile>& files) {
        QStringList out;
        for (const TorrentFile& f : files)
            out << TorrentContentsView::episodeTitle(f);
        return out;
    }
};

} // namespace

TEST_F(ContentsPage, ListsEpisodesInOrderFindsOneAndPlaysIt) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    auto page = open(id);
    EXPECT_EQ(page->mainContent(), "episodes");
    EXPECT_EQ(titles(page->filtered()),
              (QStringList{"Серия 1", "Серия 2", "Серия 3", "Серия 4", "Серия 5"}));
    EXPECT_EQ(page->episodeModel()->rowCount(), 5);

    page->setQuery("СЕРИЯ 3");
    ASSERT_EQ(page->filtered().size(), 1u);
    TorrentFile e03 = page->filtered().front();
    EXPECT_EQ(e03.path, "Season/Show.S01E03.1080p.mkv");
    EXPECT_EQ(page->episodeModel()->rowCount(), 1);
    page->setQuery("S01E04");
    EXPECT_EQ(titles(page->filtered()), QStringList{"Серия 4"});
    page->setQuery("nothing like it");
    EXPECT_EQ(page->mainContent(), "empty");
    page->setQuery("серия 3");

    // A click on the card's picture opens the player on that file, then the window.
    PlayerModel player(engine());
    page->setPlayer(&player);
    QSignalSpy window(page.get(), &TorrentContentsView::playerWindowRequested);
    QListView* list = page->episodeView();
    QRect card = list->visualRect(page->episodeModel()->index(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, card.topLeft() + QPoint(60, 40));
    ASSERT_TRUE(test::waitUntil([&] { return window.count() == 1; }, 20s));
    ASSERT_TRUE(player.item());
    EXPECT_EQ(player.item()->file.i, e03.i);
    EXPECT_EQ(player.item()->torrentID, id);
    player.stop();
}

TEST_F(ContentsPage, TheDownloadToggleSwitchesOneFileAtOnce) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    auto page = open(id);
    TorrentFile e02 = page->filtered().at(1);
    page->setDownload(e02);
    EXPECT_EQ(page->filtered().at(1).prio, 0); // before the engine reports it
    ASSERT_TRUE(test::waitUntil([&] {
        for (const TorrentFile& f : engineFiles(id))
            if (f.i == e02.i)
                return f.prio == 0;
        return false;
    }));
    page->setDownload(page->filtered().at(1));
    EXPECT_EQ(page->filtered().at(1).prio, 4);
}

TEST_F(ContentsPage, AnotherTorrentClearsTheFilesPlayTargetAndSwitches) {
    auto season = makeTorrent("Season", test::seasonFiles(), 1);
    auto notes = makeTorrent("Notes", {{"a.txt", 3000}, {"b.txt", 3000}}, 2);
    std::string a = addSeeded(season, true);
    std::string b = addSeeded(notes, true);
    auto page = open(a);
    ASSERT_TRUE(page->playTarget());
    page->setQuery("3");
    page->setCompact(true);
    page->setAllFiles(true);

    page->setTorrent(*engine().torrent(b));
    // Nothing of the season is left while the notes load.
    EXPECT_TRUE(page->files().empty());
    EXPECT_FALSE(page->playTarget());
    EXPECT_TRUE(page->videos().empty());
    EXPECT_EQ(page->episodeModel()->rowCount(), 0);
    EXPECT_EQ(page->query(), "");
    EXPECT_FALSE(page->compact());
    EXPECT_FALSE(page->allFiles());
    EXPECT_EQ(page->mainContent(), "loading");
    ASSERT_TRUE(test::waitUntil([&] { return page->loaded(); }));
    // No video: the file tree of the notes.
    EXPECT_EQ(page->mainContent(), "files");
    EXPECT_EQ(page->filesView()->torrentID().toStdString(), b);
    for (const TorrentFile& f : page->files())
        EXPECT_TRUE(f.path.starts_with("Notes/")) << f.path;
}

TEST_F(ContentsPage, TransferControlsResumeAPausedTorrent) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    auto page = open(id);
    ContentsTransferControls* controls = page->transferControls();
    EXPECT_EQ(controls->pauseButton()->text(), "Возобновить");
    EXPECT_EQ(controls->pauseButton()->accessibleName(), "Возобновить весь торрент");
    EXPECT_EQ(controls->pauseButton()->objectName(), "contents.togglePause");
    QTest::mouseClick(controls->pauseButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitUntil([&] { return !engine().torrent(id)->paused; }));
    page->setTorrent(*engine().torrent(id));
    EXPECT_EQ(controls->pauseButton()->text(), "Пауза");
    EXPECT_EQ(controls->pauseButton()->accessibleName(), "Приостановить весь торрент");
}

TEST_F(ContentsPage, DetailPaneSwitchesTabsAndRefreshesOnlyTheShownOne) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    DetailPane pane(engine(), true);
    pane.resize(900, 480);
    pane.setTorrentID(QString::fromStdString(id));
    pane.show();
    ASSERT_TRUE(test::waitUntil([&] { return pane.filesView()->loaded(); }));
    QSignalSpy chosen(&pane, &DetailPane::tabChosen);
    QSignalSpy peersPasses(pane.peersView(), &PeersView::refreshed);

    QTest::mouseClick(pane.tabButton(DetailPane::Tab::info), Qt::LeftButton);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(pane.tab(), DetailPane::Tab::info);
    EXPECT_TRUE(pane.infoView()->isVisible());
    EXPECT_FALSE(pane.filesView()->isVisible());
    EXPECT_TRUE(pane.tabButton(DetailPane::Tab::info)->isCurrent());
    ASSERT_TRUE(test::waitUntil([&] { return !pane.infoView()->value("Хэш").isEmpty(); }));
    EXPECT_EQ(pane.infoView()->value("Хэш").toStdString(), id);
    EXPECT_EQ(pane.infoView()->value("Рейтинг"), "0.00");
    EXPECT_EQ(pane.infoView()->value("Лимит загрузки"), "∞");
    // Pressing the current tab changes nothing.
    QTest::mouseClick(pane.tabButton(DetailPane::Tab::info), Qt::LeftButton);
    EXPECT_EQ(chosen.count(), 1);

    // The peers tab refreshes only while shown.
    test::spinFor(300ms);
    EXPECT_EQ(peersPasses.count(), 0);
    pane.setTab(DetailPane::Tab::peers);
    ASSERT_TRUE(test::waitUntil([&] { return peersPasses.count() > 0; }));
    pane.setTab(DetailPane::Tab::trackers);
    int passes = peersPasses.count();
    test::spinFor(2500ms);
    EXPECT_EQ(peersPasses.count(), passes);

    QSignalSpy closed(&pane, &DetailPane::closeRequested);
    pane.setTab(DetailPane::Tab::files);
    for (auto* b : pane.filesView()->findChildren<QAbstractButton*>())
        if (b->accessibleName() == "Закрыть сведения" && b->isVisible())
            QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
}
