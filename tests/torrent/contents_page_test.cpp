// The contents page and the detail pane against a real engine: episodes in
// order, the search, playing through the real player model, the download
// toggle (by click and through the accessibility tree), transfer controls, a
// change of torrent clearing the previous one, and minimize and restore
// keeping the page as it was.

#include <QAccessible>
#include <QApplication>
#include <QHelpEvent>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include "tests/support/qt_app.h"
#include "tests/torrent/views_fixture.h"
#include "tevro/player/player_model.h"
#include "tevro/torrent/clamped_label.h"
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

    // The first element below `root` with that accessible name.
    static QAccessibleInterface* named(QAccessibleInterface* root, const QString& name) {
        for (int i = 0; root && i < root->childCount(); ++i) {
            QAccessibleInterface* c = root->child(i);
            if (!c)
                continue;
            if (c->text(QAccessible::Name) == name)
                return c;
            if (QAccessibleInterface* found = named(c, name))
                return found;
        }
        return nullptr;
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

// "Ещё" opens its menu without a nested event loop: the window may drop the
// page (a removal, another torrent opened from a server) while it is open.
TEST_F(ContentsPage, TheActionsMenuLetsThePageGoWhileOpen) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    auto page = open(id);
    QPushButton* more = nullptr;
    for (auto* b : page->findChildren<QPushButton*>())
        if (b->accessibleName() == "Действия со всем торрентом")
            more = b;
    ASSERT_TRUE(more);
    QTimer::singleShot(50ms, [&] { page.reset(); });
    QTest::mouseClick(more, Qt::LeftButton);
    EXPECT_EQ(QApplication::activePopupWidget(),
              static_cast<QWidget*>(page->transferControls()->actionsMenu()));
    ASSERT_TRUE(test::waitUntil([&] { return !page; }));
    test::spinFor(100ms);
    EXPECT_FALSE(QApplication::activePopupWidget());
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

// Each episode offers assistive tools its play button and download toggle with
// their names and the toggle's value; pressing them does what a click does.
// The toggle's tooltip names what a click will do.
TEST_F(ContentsPage, EpisodesOfferTheirPlayButtonAndDownloadToggle) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    auto page = open(id);
    QListView* list = page->episodeView();
    test::spinFor(100ms);
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(list);
    ASSERT_TRUE(root);
    QAccessibleInterface* toggle = named(root, "Скачивать Серия 2");
    QAccessibleInterface* play = named(root, "Смотреть: Серия 2");
    ASSERT_TRUE(toggle && play);
    EXPECT_EQ(toggle->text(QAccessible::Value), "Да");
    ASSERT_TRUE(toggle->actionInterface());
    EXPECT_TRUE(list->viewport()->rect().intersects(
        QRect(list->viewport()->mapFromGlobal(toggle->rect().topLeft()), toggle->rect().size())));

    QModelIndex second = page->episodeModel()->index(1);
    auto tipAt = [&](QPoint pos) {
        QHelpEvent help(QEvent::ToolTip, pos, list->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(list->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QPoint togglePos = list->viewport()->mapFromGlobal(toggle->rect().center());
    EXPECT_EQ(tipAt(togglePos), "Не скачивать");
    EXPECT_EQ(tipAt(list->visualRect(second).topLeft() + QPoint(40, 30)), "Show.S01E02.1080p.mkv");

    toggle->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(toggle->text(QAccessible::Value), "Нет");
    EXPECT_EQ(tipAt(list->viewport()->mapFromGlobal(toggle->rect().center())), "Скачивать");
    ASSERT_TRUE(test::waitUntil([&] {
        for (const TorrentFile& f : engineFiles(id))
            if (f.path.ends_with("S01E02.1080p.mkv"))
                return f.prio == 0;
        return false;
    }));

    QSignalSpy played(page.get(), &TorrentContentsView::playRequested);
    play->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(played.count(), 1);
    EXPECT_TRUE(played.at(0).at(1).value<TorrentFile>().path.ends_with("S01E02.1080p.mkv"));
}

// Minimizing and restoring the window shows the page again, as it shows every
// child; the page was open all along and keeps its search, layout and tab.
TEST_F(ContentsPage, MinimizeAndRestoreKeepTheSearchTheLayoutAndTheTab) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* page = new TorrentContentsView(engine());
    layout->addWidget(page);
    window.resize(1000, 760);
    page->setTorrent(*engine().torrent(id));
    window.show();
    ASSERT_TRUE(test::waitUntil([&] { return page->loaded(); }));

    page->setQuery("Серия 3");
    page->setCompact(true);
    test::minimizeAndRestore(window);
    EXPECT_EQ(page->query(), "Серия 3");
    EXPECT_TRUE(page->compact());
    EXPECT_EQ(page->episodeModel()->rowCount(), 1);

    page->setAllFiles(true);
    test::minimizeAndRestore(window);
    EXPECT_TRUE(page->allFiles());
    EXPECT_EQ(page->mainContent(), "files");
}

// The tiles fill the width the list gives them, with or without a scroll bar:
// a row never ends with room for another card, and no card reaches past the
// list's edge.
TEST_F(ContentsPage, TilesFillTheRowsWidth) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    auto page = open(id);
    QListView* list = page->episodeView();
    for (auto [width, height] : {std::pair{760, 700}, {900, 700}, {900, 1400}, {1100, 1400}}) {
        SCOPED_TRACE(width);
        SCOPED_TRACE(height);
        page->resize(width, height);
        test::spinFor(200ms);
        int rowEnd = 0;
        for (int r = 0; r < page->episodeModel()->rowCount(); ++r) {
            QRect cell = list->visualRect(page->episodeModel()->index(r));
            EXPECT_LE(cell.right(), list->viewport()->width());
            if (cell.top() == list->visualRect(page->episodeModel()->index(0)).top())
                rowEnd = std::max(rowEnd, cell.right() + 1);
        }
        // 210 wide and 18 apart: the least a card takes.
        EXPECT_LT(list->viewport()->width() - rowEnd, 210 + 18);
    }
}

// A 200-character name without spaces keeps the page within its window: the
// title takes two lines and ends with an ellipsis, the breadcrumb one line.
TEST_F(ContentsPage, ALongNameStaysWithinTheWindow) {
    std::string name(120, 'N');
    name += ".Season.One.Complete.";
    name.resize(200, 'x');
    auto t = makeTorrent(name, {{"Show.S01E01.mkv", 40000}, {"Show.S01E02.mkv", 40000}});
    std::string id = addSeeded(t, true);
    auto page = open(id);
    page->resize(900, 700);
    test::spinFor(100ms);
    EXPECT_LE(page->minimumSizeHint().width(), 900);
    EXPECT_EQ(page->width(), 900);
    ClampedLabel* title = nullptr;
    for (auto* l : page->findChildren<ClampedLabel*>())
        if (l->font().pixelSize() == 27)
            title = l;
    ASSERT_TRUE(title);
    QStringList lines = title->lines(title->width());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(QChar(0x2026))) << lines[1].toStdString();
    EXPECT_LE(title->geometry().right(), page->width());
}
