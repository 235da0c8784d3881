// The files view against a real engine: quick selections over a real season,
// priorities and checks reaching libtorrent and surviving a restart, in-place
// refreshes that keep expansion and selection, selected rows a filter hides,
// Space, Ctrl+Return, the context and priority menus, and replies of a
// previous torrent dropped.

#include <QApplication>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "tests/support/qt_app.h"
#include "tevro/core/format.h"
#include "tests/torrent/views_fixture.h"
#include "tevro/media/file_tree.h"
#include "tevro/torrent/file_tree_model.h"
#include "tevro/torrent/files_view.h"
#include "tevro/torrent/quick_select.h"

using namespace tevro;
using namespace std::chrono_literals;

namespace {

class FilesViewTest : public test::ViewsTest {
protected:
    // Paths (file names) of the nodes of `ids` that are files.
    std::set<std::string> names(FilesView& view, const std::unordered_set<std::string>& ids) {
        std::set<std::string> out;
        for (const FileNode& n : FileTree::find(ids, view.tree()))
            if (!n.isFolder())
                out.insert(n.name);
        return out;
    }

    std::unique_ptr<FilesView> open(const std::string& id) {
        auto view = std::make_unique<FilesView>(engine());
        view->resize(760, 420);
        view->setTorrentID(QString::fromStdString(id));
        view->show();
        EXPECT_TRUE(test::waitUntil([&] { return view->loaded() && !view->files().empty(); }));
        return view;
    }

    std::map<std::string, std::int64_t> priorities(const std::string& id) {
        std::map<std::string, std::int64_t> out;
        for (const TorrentFile& f : engineFiles(id))
            if (!f.pad)
                out[f.path.substr(f.path.rfind('/') + 1)] = f.prio;
        return out;
    }
};

} // namespace

TEST_F(FilesViewTest, QuickSelectionsPickTheRightFilesOfASeason) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    auto view = open(id);

    using Names = std::set<std::string>;
    const Names videos = {"Show.S01E01.1080p.mkv", "Show.S01E02.1080p.mkv",
                          "Show.S01E03.1080p.mkv", "Show.S01E04.1080p.mkv",
                          "Show.S01E05.1080p.mkv", "Show.S01E01.sample.mkv"};
    const Names subtitles = {"Show.S01E01.srt", "Show.S01E02.srt"};
    auto pick = [&](QuickSelect q) {
        view->setSelection(apply(q, view->selection(), view->tree()));
        return names(*view, view->selection());
    };
    EXPECT_EQ(pick(QuickSelect::video), videos);
    EXPECT_EQ(pick(QuickSelect::invert),
              (Names{"Show.S01E01.srt", "Show.S01E02.srt", "theme.flac", "readme.txt"}));
    EXPECT_EQ(pick(QuickSelect::subtitles), subtitles);
    EXPECT_EQ(pick(QuickSelect::audio), Names{"theme.flac"});
    EXPECT_EQ(pick(QuickSelect::all).size(), 10u);
    EXPECT_TRUE(pick(QuickSelect::none).empty());

    // "Не скачивать" on the subtitles, then the wanted and skipped splits follow the engine.
    pick(QuickSelect::subtitles);
    view->setPriority(FilePriority::skip);
    ASSERT_TRUE(test::waitUntil([&] { return priorities(id)["Show.S01E02.srt"] == 0; }));
    ASSERT_TRUE(test::waitUntil([&] {
        return view->model()->data(view->model()->indexOf("d:/Subs"), FileTreeModel::CheckRole) ==
               static_cast<int>(CheckState::off);
    }));
    EXPECT_EQ(pick(QuickSelect::skipped), subtitles);
    EXPECT_EQ(pick(QuickSelect::wanted).size(), 8u);

    // A filter narrows what the selections can reach.
    view->setQuery("E01");
    EXPECT_EQ(pick(QuickSelect::all),
              (Names{"Show.S01E01.1080p.mkv", "Show.S01E01.sample.mkv", "Show.S01E01.srt"}));
}

TEST_F(FilesViewTest, ChecksAndPrioritiesReachTheEngineAndSurviveARestart) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    auto view = open(id);
    QTreeView* tree = view->treeView();

    // The check mark of a folder row skips all of it.
    QModelIndex subs = view->model()->indexOf("d:/Subs", FileTreeModel::checkColumn);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(subs).center());
    // High priority on two episodes through the toolbar's menu operation.
    std::unordered_set<std::string> two;
    for (const FileNode& n : FileTree::flatten(view->tree()))
        if (n.name == "Show.S01E04.1080p.mkv" || n.name == "Show.S01E05.1080p.mkv")
            two.insert(n.id);
    view->setSelection(two);
    view->setPriority(FilePriority::high);
    // Space on a selection holding a wanted file skips the readme.
    for (const FileNode& n : FileTree::flatten(view->tree()))
        if (n.name == "readme.txt")
            view->setSelection({n.id});
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Space);

    auto expected = [&](std::map<std::string, std::int64_t> p) {
        return p["Show.S01E01.srt"] == 0 && p["Show.S01E02.srt"] == 0 &&
               p["Show.S01E04.1080p.mkv"] == 7 && p["Show.S01E05.1080p.mkv"] == 7 &&
               p["readme.txt"] == 0 && p["Show.S01E01.1080p.mkv"] == 4;
    };
    ASSERT_TRUE(test::waitUntil([&] { return expected(priorities(id)); }));
    // The skipped subtitles folder reads "Не скачивать" once the view has refreshed.
    ASSERT_TRUE(test::waitUntil([&] {
        return view->model()
                   ->data(view->model()->indexOf("d:/Subs", FileTreeModel::priorityColumn))
                   .toString() == "Не скачивать";
    }));

    view.reset();
    startEngine();
    ASSERT_TRUE(test::waitUntil([&] { return engine().torrent(id).has_value(); }));
    EXPECT_TRUE(expected(priorities(id)));
    // Space again on the skipped readme asks for normal.
    auto again = open(id);
    for (const FileNode& n : FileTree::flatten(again->tree()))
        if (n.name == "readme.txt")
            again->setSelection({n.id});
    again->treeView()->setFocus();
    QTest::keyClick(again->treeView(), Qt::Key_Space);
    EXPECT_TRUE(test::waitUntil([&] { return priorities(id)["readme.txt"] == 4; }));
}

TEST_F(FilesViewTest, RefreshesInPlaceKeepingExpansionAndSelection) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    auto view = open(id);
    QTreeView* tree = view->treeView();
    tree->setExpanded(view->model()->indexOf("d:/Subs"), true);
    std::string e02, srt;
    std::int64_t srtIndex = -1;
    for (const FileNode& n : FileTree::flatten(view->tree())) {
        if (n.name == "Show.S01E02.1080p.mkv")
            e02 = n.id;
        if (n.name == "Show.S01E01.srt") {
            srt = n.id;
            srtIndex = n.file->i;
        }
    }
    view->setSelection({e02});
    tree->verticalScrollBar()->setValue(tree->verticalScrollBar()->maximum());
    int scroll = tree->verticalScrollBar()->value();
    QSignalSpy resets(view->model(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(view->model(), &QAbstractItemModel::dataChanged);

    // A change made elsewhere (another window, the engine) arrives with the next pass.
    engine().setPriority(id, {static_cast<int>(srtIndex)}, FilePriority::high);
    ASSERT_TRUE(test::waitUntil(
        [&] {
            return view->model()
                       ->data(view->model()->indexOf(srt, FileTreeModel::priorityColumn))
                       .toString() == "Высокий";
        },
        10s));
    EXPECT_EQ(resets.count(), 0);
    // The file row and the folders above it, nothing else.
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(view->model()
                  ->data(view->model()->indexOf("d:/Subs", FileTreeModel::priorityColumn))
                  .toString(),
              "Разный");
    EXPECT_TRUE(tree->isExpanded(view->model()->indexOf("d:/Subs")));
    EXPECT_EQ(view->selection(), std::unordered_set<std::string>{e02});
    EXPECT_EQ(tree->verticalScrollBar()->value(), scroll);

    // A filter resets the model and still keeps the selected row.
    view->setQuery("S01E02");
    EXPECT_EQ(view->selection(), std::unordered_set<std::string>{e02});
    EXPECT_EQ(view->selectionSummary(), QString::fromStdString("1 · " + Format::bytes(40000)));
}

TEST_F(FilesViewTest, PlaysRevealsAndOffersTheMenuForTheRowsConcerned) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    auto view = open(id);
    QSignalSpy plays(view.get(), &FilesView::playRequested);
    QSignalSpy windows(view.get(), &FilesView::playerWindowRequested);

    // Ctrl+Return with nothing selected plays the first episode, not the table's first row.
    view->treeView()->setFocus();
    QTest::keyClick(view->treeView(), Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(plays.count(), 1);
    EXPECT_EQ(plays.at(0).at(1).value<TorrentFile>().path, "Season/Show.S01E01.1080p.mkv");
    EXPECT_EQ(windows.count(), 1);

    std::string srt, e03;
    for (const FileNode& n : FileTree::flatten(view->tree())) {
        if (n.name == "Show.S01E02.srt")
            srt = n.id;
        if (n.name == "Show.S01E03.1080p.mkv")
            e03 = n.id;
    }
    view->activate({srt});
    // Not on disk yet: the save folder opens instead.
    ASSERT_EQ(revealed.size(), 1u);
    EXPECT_EQ(revealed[0], std::make_pair(std::filesystem::path(downloads()), false));
    view->activate({"d:/Subs"});
    EXPECT_EQ(revealed.size(), 1u);
    EXPECT_EQ(plays.count(), 1);
    view->activate({e03});
    EXPECT_EQ(plays.count(), 2);

    auto texts = [](QMenu* m) {
        QStringList out;
        for (QAction* a : m->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        delete m;
        return out;
    };
    EXPECT_EQ(texts(view->menu({e03})), (QStringList{"Смотреть", "-", "Скачивать", "Не скачивать",
                                                     "Приоритет", "-", "Показать в папке"}));
    EXPECT_EQ(texts(view->menu({"d:/Subs"})),
              (QStringList{"Скачивать", "Не скачивать", "Приоритет", "-", "Показать в папке"}));
    view->setSelection({srt, e03});
    EXPECT_EQ(texts(view->menu({})), (QStringList{"Скачивать", "Не скачивать", "Приоритет", "-"}));
}

TEST_F(FilesViewTest, SwitchingTorrentsClearsAtOnceAndDropsLateReplies) {
    auto a = makeTorrent("Alpha", {{"a1.mkv", 20000}, {"a2.mkv", 20000}}, 1);
    auto b = makeTorrent("Beta", {{"b1.txt", 3000}, {"b2.txt", 3000}, {"b3.txt", 3000}}, 2);
    std::string ida = addSeeded(a, true);
    std::string idb = addSeeded(b, true);
    auto view = open(ida);
    view->setQuery("b");
    view->setSelection({"f:0"});
    QSignalSpy refreshed(view.get(), &FilesView::refreshed);
    // A pass for Alpha is in flight when the view switches.
    view->setTorrentID(QString::fromStdString(idb));
    EXPECT_TRUE(view->files().empty());
    EXPECT_TRUE(view->selection().empty());
    EXPECT_FALSE(view->loaded());
    EXPECT_EQ(view->query(), "b");
    ASSERT_TRUE(test::waitUntil([&] { return view->loaded(); }));
    for (const TorrentFile& f : view->files())
        EXPECT_TRUE(f.path.starts_with("Beta/")) << f.path;

    // Hidden, the view fetches nothing more.
    view->hide();
    int passes = refreshed.count();
    test::spinFor(2500ms);
    EXPECT_EQ(refreshed.count(), passes);
}

// Selected rows that the filter hides stay selected: the controls act on what
// shows, and clearing the filter brings the whole selection back. A plain
// click replaces all of it, hidden rows included.
TEST_F(FilesViewTest, SelectedRowsAFilterHidesComeBackWhenItIsCleared) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    auto view = open(id);
    QTreeView* tree = view->treeView();
    std::string e02, srt;
    std::int64_t e02Index = -1;
    for (const FileNode& n : FileTree::flatten(view->tree())) {
        if (n.name == "Show.S01E02.1080p.mkv") {
            e02 = n.id;
            e02Index = n.file->i;
        }
        if (n.name == "Show.S01E01.srt")
            srt = n.id;
    }
    const std::unordered_set<std::string> both{e02, srt};
    view->setSelection(both);

    view->setQuery("1080p");
    EXPECT_EQ(view->selection(), both);
    EXPECT_EQ(view->selectedIndices(), std::vector<std::int64_t>{e02Index});
    view->setQuery("");
    EXPECT_EQ(view->selection(), both);
    EXPECT_EQ(tree->selectionModel()->selectedRows().size(), 2);

    view->setQuery("1080p");
    QRect e02Row = tree->visualRect(view->model()->indexOf(e02, FileTreeModel::nameColumn));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, e02Row.center());
    view->setQuery("");
    EXPECT_EQ(view->selection(), std::unordered_set<std::string>{e02});
}

// The priority menus (the cell's, the toolbar's) open without a nested event
// loop, so the window may drop the view (a selection change from a server)
// while one is open.
TEST_F(FilesViewTest, PriorityMenuActsOnItsRowAndLetsTheViewGoWhileOpen) {
    auto t = makeTorrent("Season", test::seasonFiles());
    std::string id = addSeeded(t, true);
    auto view = open(id);
    QTreeView* tree = view->treeView();
    std::string readme;
    for (const FileNode& n : FileTree::flatten(view->tree()))
        if (n.name == "readme.txt")
            readme = n.id;
    auto cell = [&] {
        return tree->visualRect(view->model()->indexOf(readme, FileTreeModel::priorityColumn))
            .center();
    };

    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, cell());
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    QAction* high = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == "Высокий")
            high = a;
    ASSERT_TRUE(high);
    high->trigger();
    menu->close();
    EXPECT_TRUE(test::waitUntil([&] { return priorities(id)["readme.txt"] == 7; }));

    // The toolbar's priority menu opens the same way.
    view->setSelection({readme});
    QToolButton* toolbar = nullptr;
    for (auto* b : view->findChildren<QToolButton*>())
        if (b->accessibleName() == "Приоритет")
            toolbar = b;
    ASSERT_TRUE(toolbar && toolbar->isEnabled());
    QTest::mouseClick(toolbar, Qt::LeftButton);
    ASSERT_TRUE(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
    QApplication::activePopupWidget()->close();

    QTimer::singleShot(50ms, [&] {
        view.reset();
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    });
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, cell());
    EXPECT_TRUE(QApplication::activePopupWidget());
    ASSERT_TRUE(test::waitUntil([&] { return !view; }));
    test::spinFor(100ms);
    EXPECT_FALSE(QApplication::activePopupWidget());
}
