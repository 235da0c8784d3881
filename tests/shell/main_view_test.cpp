#include "tevro/shell/main_view.h"

#include <QAbstractButton>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QAccessible>
#include <QContextMenuEvent>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "tests/shell/shell_fixture.h"
#include "tests/support/swarm/saved_torrents.h"
#include "tests/support/swarm/seeder.h"
#include "tevro/core/storage.h"
#include "tevro/shell/library_header.h"
#include "tevro/shell/library_model.h"
#include "tevro/shell/sidebar_filter_list.h"
#include "tevro/library/featured_torrent.h"
#include "tevro/library/library_item_view.h"
#include "tevro/library/torrent_list_model.h"
#include "tevro/library/fitted_label.h"
#include "tevro/library/sidebar_transfer_status.h"
#include "tevro/library/library_style.h"
#include "tevro/library/torrent_status_text.h"
#include "tevro/platform/desktop_motion.h"
#include "tevro/shell/sidebar_network_status.h"
#include "tevro/shell/toast.h"
#include "quorvel-kit/offers/pressable_card.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class MainViewTest : public test::ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        parts.addSheet = [this](QWidget* parent, const std::string& url, MainView::OnAdded) {
            sheets.push_back("add " + url);
            return new QDialog(parent);
        };
        parts.magnetSheet = [this](QWidget* parent, const std::string& text, MainView::OnAdded) {
            sheets.push_back("magnet " + text);
            return new QDialog(parent);
        };
    }

    void TearDown() override {
        delete view;
        ShellFixture::TearDown();
    }

    MainView& show() {
        view = new MainView(*engine, *ui, nullptr, nullptr, parts);
        view->resize(1280, 820);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view));
        return *view;
    }

    std::vector<std::string> shownIds() const {
        std::vector<std::string> ids;
        for (const auto& t : view->model()->torrents())
            ids.push_back(t.id);
        return ids;
    }

    // A click on the card's picture, as the pointer would make it.
    void click(LibraryItemView* items, const std::string& id,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        ASSERT_TRUE(items->visualRect(view->cards()->indexOf(id)).isValid()) << id;
        items->activate(QString::fromStdString(id), PaintedElement::Action::select, modifiers);
    }

    // The open sheet of the funnel, closed as a user would.
    bool closeSheet() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() && d->parent() == view) {
                d->reject();
                return true;
            }
        return false;
    }

    MainView::Parts parts;
    MainView* view = nullptr;
    std::vector<std::string> sheets;
};

TEST_F(MainViewTest, TheEmptyLibraryIsShownOnlyForALibraryThatIsEmpty) {
    auto emptyLibraryShown = [&] {
        return view && view->emptyState()->isVisibleTo(view) &&
               view->emptyTitle()->text() == QStringLiteral("Медиатека пуста");
    };
    // A data folder without torrents: said once the engine knows.
    show();
    EXPECT_TRUE(test::waitUntil([&] { return !engine->restoring(); }, 30s));
    EXPECT_TRUE(emptyLibraryShown());
    delete view;
    view = nullptr;

    // Saved torrents that come back after the window is up: never "empty" meanwhile.
    engine.reset();
    constexpr int kSaved = 200;
    swarm::writeSavedTorrents(dir / "home" / "state", dir / "downloads", kSaved);
    TorrentEngine::Options o;
    o.dataFolder = dir / "home";
    o.refreshTrackersAtStart = false;
    engine = std::make_unique<TorrentEngine>(o);
    std::size_t listedWhenDone = 0;
    QObject::connect(engine.get(), &TorrentEngine::restoringChanged,
                     [&] { listedWhenDone = engine->torrents().size(); });
    view = new MainView(*engine, *ui, nullptr, nullptr, parts);
    bool seen = emptyLibraryShown();
    QObject::connect(view, &MainView::refreshed, [&] { seen = seen || emptyLibraryShown(); });
    view->resize(1280, 820);
    view->show();
    EXPECT_TRUE(test::waitUntil(
        [&] {
            seen = seen || emptyLibraryShown();
            return !engine->restoring() && view->model()->rowCount() == kSaved;
        },
        60s));
    EXPECT_FALSE(seen);
    EXPECT_EQ(listedWhenDone, std::size_t(kSaved));
}

TEST_F(MainViewTest, FiltersSearchSortAndLayoutsChangeWhatIsShown) {
    std::string alpha = add("Alpha.Movie.2010.1080p", 300 * 1024);
    std::string series = add("Сериал Серия 3", 200 * 1024);
    std::string running = add("Gamma", 100 * 1024, false);
    std::string seeding = add("Delta", 400 * 1024, false, true);
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(seeding)->seeding; }, 30s));
    MainView& v = show();
    ASSERT_EQ(v.model()->rowCount(), 4);

    struct Case {
        TorrentFilter filter;
        std::set<std::string> ids;
    } cases[] = {{TorrentFilter::paused, {alpha, series}},
                 {TorrentFilter::seeding, {seeding}},
                 {TorrentFilter::completed, {seeding}},
                 {TorrentFilter::downloading, {running}},
                 {TorrentFilter::errors, {}},
                 {TorrentFilter::all, {alpha, series, running, seeding}}};
    for (const auto& c : cases) {
        QTest::mouseClick(v.sidebar()->row(c.filter), Qt::LeftButton);
        auto ids = shownIds();
        EXPECT_EQ(std::set(ids.begin(), ids.end()), c.ids) << rawValue(c.filter);
        EXPECT_EQ(v.emptyState()->isVisible(), c.ids.empty());
        if (c.ids.empty()) {
            EXPECT_EQ(v.emptyTitle()->text(), QStringLiteral("Ничего не найдено"));
        }
    }

    // The search field: trimmed, any case, title or name.
    for (QChar ch : QStringLiteral("  серия 3")) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(v.header()->searchField(), &key);
    }
    EXPECT_EQ(ui->search(), "  серия 3");
    EXPECT_EQ(shownIds(), std::vector{series});
    ui->setSearch("alpha movie");
    EXPECT_EQ(shownIds(), std::vector{alpha}); // the cleaned title has spaces, the name dots
    ui->setSearch("nothing like it");
    EXPECT_TRUE(v.emptyState()->isVisible());
    EXPECT_EQ(v.emptyTitle()->text(), QStringLiteral("Ничего не найдено"));
    ui->setSearch("");

    // Sorts of the grid and list; the table keeps its own column order.
    auto sortBy = [&](LibrarySort sort) {
        LibraryPreferences p = ui->preferences();
        p.sort = sort;
        ui->setPreferences(p);
        return shownIds();
    };
    auto bySize = sortBy(LibrarySort::size);
    for (std::size_t i = 1; i < bySize.size(); ++i)
        EXPECT_GE(engine->torrent(bySize[i - 1])->total, engine->torrent(bySize[i])->total);
    std::vector<std::string> byName = {alpha, seeding, running, series}; // Cyrillic after Latin
    EXPECT_EQ(sortBy(LibrarySort::name), byName);
    EXPECT_NE(Storage::read(ui->libraryFile())->find("\"name\""), std::string::npos);

    // Layouts through the header's buttons and shortcuts, saved at once.
    QTest::mouseClick(v.header()->layoutButton(1), Qt::LeftButton);
    EXPECT_EQ(ui->preferences().layout, LibraryLayout::list);
    EXPECT_TRUE(v.list()->isVisible());
    EXPECT_FALSE(v.grid()->isVisible());
    EXPECT_NE(Storage::read(ui->libraryFile())->find("\"list\""), std::string::npos);
    QTest::mouseClick(v.header()->layoutButton(2), Qt::LeftButton);
    EXPECT_EQ(ui->preferences().layout, LibraryLayout::table);
    EXPECT_TRUE(v.table()->isVisible());
    // The table orders by its column headers, not by the saved sort.
    v.table()->horizontalHeader()->sectionClicked(LibraryModel::nameColumn);
    EXPECT_EQ(shownIds(), byName);
    v.table()->horizontalHeader()->sectionClicked(LibraryModel::nameColumn);
    EXPECT_EQ(shownIds(), std::vector(byName.rbegin(), byName.rend()));
    EXPECT_EQ(ui->preferences().sort, LibrarySort::name);
}

TEST_F(MainViewTest, ClickSelectionAndBatchActionsActOnExactlyTheSelection) {
    std::vector<std::string> ids;
    for (const char* name : {"One", "Two", "Three", "Four", "Five"})
        ids.push_back(add(name, 64 * 1024, false));
    LibraryPreferences p;
    p.sort = LibrarySort::name; // Five, Four, One, Three, Two
    ui->setPreferences(p);
    MainView& v = show();
    std::vector<std::string> order = shownIds();
    ASSERT_EQ(order.size(), 5u);

    // Shift before any click is a plain click: only it, its contents page, no detail pane.
    ui->setShowDetails(true);
    click(v.grid(), order[1], Qt::ShiftModifier);
    EXPECT_EQ(ui->selection(), std::set{order[1]});
    EXPECT_EQ(ui->openedTorrentID(), order[1]);
    EXPECT_FALSE(ui->showDetails());
    // Shift extends from the anchor in display order, replacing the selection.
    click(v.grid(), order[4], Qt::ShiftModifier);
    EXPECT_EQ(ui->selection(), (std::set{order[1], order[2], order[3], order[4]}));
    click(v.grid(), order[2], Qt::ShiftModifier);
    EXPECT_EQ(ui->selection(), (std::set{order[2], order[3], order[4]}));
    // Ctrl toggles one and leaves the rest.
    click(v.grid(), order[3], Qt::ControlModifier);
    EXPECT_EQ(ui->selection(), (std::set{order[2], order[4]}));
    click(v.grid(), order[0], Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ui->selection(), (std::set{order[0], order[2], order[4]}));

    // Batch pause, then resume, on exactly these three.
    for (QToolButton* b : v.header()->findChildren<QToolButton*>())
        if (b->accessibleName() == QStringLiteral("Приостановить выбранные") && b->isVisible())
            b->click();
    std::set<std::string> selected = ui->selection();
    ASSERT_TRUE(test::waitUntil([&] {
        for (const auto& id : ids)
            if (engine->torrent(id)->paused != selected.contains(id))
                return false;
        return true;
    }));
    engine->pause({order[1]});
    for (QToolButton* b : v.header()->findChildren<QToolButton*>())
        if (b->accessibleName() == QStringLiteral("Возобновить выбранные") && b->isVisible())
            b->click();
    ASSERT_TRUE(test::waitUntil([&] {
        for (const auto& id : ids)
            if (engine->torrent(id)->paused != (id == order[1]))
                return false;
        return true;
    }));

    // A search that hides the selection empties it and closes the detail pane.
    ui->setShowDetails(true);
    ui->setSearch("Three");
    EXPECT_TRUE(ui->selection().empty());
    EXPECT_FALSE(ui->showDetails());
}

// The header's refresh after each change keeps the pictures it has: the
// selection menu's symbols are made once.
TEST_F(MainViewTest, TheHeaderKeepsItsSymbolsAcrossRefreshes) {
    std::string a = add("One");
    std::string b = add("Two");
    MainView& v = show();
    ui->setSelection({a});
    QMenu* menu = nullptr;
    for (QMenu* m : v.header()->findChildren<QMenu*>())
        if (m->actions().size() == 3 && m->actions()[1]->text().startsWith("Приостановить"))
            menu = m;
    ASSERT_NE(menu, nullptr);
    auto keys = [&] {
        std::vector<qint64> out;
        for (QAction* action : menu->actions()) {
            EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
            out.push_back(action->icon().cacheKey());
        }
        return out;
    };
    const auto before = keys();
    ui->setSelection({a, b});
    engine->pause({a});
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(a)->paused; }));
    EXPECT_EQ(keys(), before);
}

// The header's count of done torrents follows each change of the engine as
// a count of the whole list would.
TEST_F(MainViewTest, TheHeaderCountsDoneTorrentsThroughEachChange) {
    MainView& v = show();
    QLabel* done = nullptr;
    for (QLabel* l : v.header()->findChildren<QLabel*>())
        if (l->text().endsWith(QStringLiteral(" загружено")))
            done = l;
    ASSERT_NE(done, nullptr);
    auto shows = [&](int n) {
        return test::waitUntil([&] {
            int whole = 0;
            for (const auto& t : engine->torrents())
                whole += t.finished || t.seeding;
            return whole == n && done->text() == QString::number(n) + QStringLiteral(" загружено");
        });
    };
    const std::string seed = add("Seed", 64 * 1024, false, true);
    EXPECT_TRUE(shows(1)) << done->text().toStdString();
    const std::string other = add("Other", 64 * 1024, true, false);
    add("Second", 64 * 1024, false, true);
    EXPECT_TRUE(shows(2)) << done->text().toStdString();
    engine->remove({seed}, false);
    EXPECT_TRUE(shows(1)) << done->text().toStdString();
    engine->remove({other}, false);
    EXPECT_TRUE(shows(1)) << done->text().toStdString();
}

TEST_F(MainViewTest, RemovalDialogRemovesFilesOnlyWhenAsked) {
    std::string kept = add("Kept", 128 * 1024, false, true);
    std::string wiped = add("Wiped", 128 * 1024, false, true);
    std::string other = add("Other", 64 * 1024);
    fs::path keptFile = generated[0].filePath(generated[0].savePath(), 0);
    fs::path wipedFile = generated[1].filePath(generated[1].savePath(), 0);
    ASSERT_TRUE(test::waitUntil(
        [&] { return engine->torrent(kept)->seeding && engine->torrent(wiped)->seeding; }, 30s));
    MainView& v = show();

    // Delete with nothing selected does nothing.
    v.grid()->setFocus();
    QTest::keyClick(v.grid(), Qt::Key_Delete);
    EXPECT_FALSE(v.showRemoval());

    ui->setSelection({kept, other});
    v.requestRemoval({kept});
    ASSERT_TRUE(v.showRemoval());
    EXPECT_EQ(v.removalDialog()->text(), QStringLiteral("Удалить «Kept»?"));
    v.removalDialog()->findChild<QAbstractButton*>(QStringLiteral("removeKeepFiles"))->click();
    EXPECT_EQ(ui->selection(), std::set{other}); // at once, before the engine reports
    ASSERT_TRUE(test::waitUntil([&] { return !engine->torrent(kept); }));
    EXPECT_TRUE(fs::exists(keptFile));

    // Cancel keeps everything.
    ui->setSelection({wiped});
    QTest::keyClick(v.grid(), Qt::Key_Delete);
    ASSERT_TRUE(v.showRemoval());
    v.removalDialog()->findChild<QAbstractButton*>(QStringLiteral("removeCancel"))->click();
    test::spinFor(200ms);
    EXPECT_TRUE(engine->torrent(wiped));

    v.requestRemoval({wiped, "0000000000000000000000000000000000000000"});
    EXPECT_EQ(v.removalDialog()->text(), QStringLiteral("Удалить торренты: 2?"));
    v.removalDialog()->findChild<QAbstractButton*>(QStringLiteral("removeWithFiles"))->click();
    ASSERT_TRUE(test::waitUntil([&] { return !engine->torrent(wiped) && !fs::exists(wipedFile); }));
    EXPECT_TRUE(engine->torrent(other));
}

TEST_F(MainViewTest, PendingOpensReachTheSheetsOneAtATime) {
    MainView& v = show();
    // A burst of 100 links and files, magnets and others mixed, while nothing is open.
    std::vector<std::string> urls;
    for (int i = 0; i < 100; ++i)
        urls.push_back(i % 3 == 0 ? "magnet:?xt=urn:btih:" + std::string(40, char('a' + i % 6))
                                  : "file:///tmp/missing-" + std::to_string(i) + ".torrent");
    urls[1] = "MAGNET:?xt=urn:btih:caps"; // a scheme in capitals is not a magnet link
    urls[2] = "not a link at all";
    engine->setPendingOpen(urls);
    std::vector<std::string> expected;
    for (const auto& u : urls)
        expected.push_back((u.starts_with("magnet:") ? "magnet " : "add ") + u);
    for (std::size_t i = 0; i < urls.size(); ++i) {
        ASSERT_EQ(sheets.size(), i + 1) << "sheet " << i;
        EXPECT_EQ(engine->pendingOpen().size(), urls.size() - i - 1 + (i > 50 ? 1 : 0));
        // A link arriving while a sheet is open waits at the end of the queue.
        if (i == 50)
            engine->appendPendingOpen("magnet:?xt=urn:btih:late");
        ASSERT_TRUE(closeSheet());
        QApplication::processEvents();
    }
    expected.push_back("magnet magnet:?xt=urn:btih:late");
    ASSERT_TRUE(closeSheet());
    EXPECT_EQ(sheets, expected);
    EXPECT_TRUE(engine->pendingOpen().empty());
    EXPECT_FALSE(ui->addURL());
    EXPECT_FALSE(ui->showMagnet());
    (void)v;
}

TEST_F(MainViewTest, DroppedTorrentFilesOpenTheAddSheet) {
    MainView& v = show();
    fs::path torrent = dir / "Dropped.TORRENT";
    test::writeAll(torrent, "d4:infod4:name1:xee");
    auto mimeData = std::make_unique<QMimeData>();
    QMimeData* mime = mimeData.get();
    mime->setUrls({QUrl::fromLocalFile(QString::fromStdString((dir / "notes.txt").string())),
                   QUrl::fromLocalFile(QString::fromStdString(torrent.string()))});
    QDragEnterEvent enter(QPoint(600, 400), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&v, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(600, 400), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&v, &drop);
    EXPECT_TRUE(drop.isAccepted());
    ASSERT_TRUE(test::waitUntil([&] { return !sheets.empty(); }));
    EXPECT_EQ(sheets, std::vector<std::string>{
                          "add " + QUrl::fromLocalFile(QString::fromStdString(torrent.string()))
                                       .toString(QUrl::FullyEncoded)
                                       .toStdString()});
    EXPECT_EQ(ui->addURL().value_or(""), sheets[0].substr(4));
}

TEST_F(MainViewTest, ContextMenuFollowsTheClickedTorrentOrTheSelection) {
    std::string a = add("A");
    std::string b = add("B");
    std::string c = add("C");
    std::string d = add("D");
    MainView& v = show();
    ui->setSelection({a, b, c});
    auto titles = [&](const std::set<std::string>& ids) {
        std::unique_ptr<QMenu> menu(v.contextMenu(ids, nullptr));
        std::vector<QString> t;
        if (menu)
            for (QAction* action : menu->actions())
                if (!action->isSeparator())
                    t.push_back(action->text());
        return t;
    };
    EXPECT_EQ(v.contextSelection(d), std::set{d});
    EXPECT_EQ(v.contextSelection(a), (std::set{a, b, c}));
    std::vector<QString> single = {
        "Открыть",         "Файлы и сведения",     "Возобновить",
        "Пауза",           "Принудительный старт", "Последовательная загрузка",
        "Ограничения…",    "Переместить…",         "Показать в папке",
        "Проверить файлы", "Обновить трекеры",     "Очередь",
        "Удалить…"};
    EXPECT_EQ(titles(v.contextSelection(d)), single);
    std::vector<QString> multi = {
        "Возобновить", "Пауза",   "Принудительный старт", "Проверить файлы", "Обновить трекеры",
        "Очередь",     "Удалить…"};
    EXPECT_EQ(titles(v.contextSelection(a)), multi);
    EXPECT_TRUE(titles({"ffffffffffffffffffffffffffffffffffffffff"}).empty());

    // "Удалить…" hands the whole set to the removal dialog.
    std::unique_ptr<QMenu> menu(v.contextMenu(v.contextSelection(b), nullptr));
    menu->actions().back()->trigger();
    EXPECT_EQ(v.pendingRemoval(), (std::set{a, b, c}));
    EXPECT_EQ(v.removalDialog()->text(), QStringLiteral("Удалить торренты: 3?"));
}

TEST_F(MainViewTest, PlayingATorrentWithoutVideoShowsItInTheFileManager) {
    swarm::GeneratedTorrent::Options o;
    o.name = "Docs";
    o.files = {{"Docs/readme.txt", 5000}, {"Docs/book.pdf", 9000}};
    auto t = swarm::GeneratedTorrent::create(dir / "docs", o);
    auto added = engine->addTorrent(t.torrentPath(), (dir / "downloads").string(), std::nullopt,
                                    true, false);
    ASSERT_TRUE(added);
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(added->id).has_value(); }));
    MainView& v = show();
    v.play(added->id);
    ASSERT_TRUE(test::waitUntil([&] { return !revealed.empty(); }));

    auto video = [](std::int64_t i, std::int64_t prio) {
        TorrentFile f;
        f.i = i;
        f.prio = prio;
        return f;
    };
    std::vector<TorrentFile> episodes = {video(0, 0), video(1, 4), video(2, 4)};
    EXPECT_EQ(MainView::chooseVideo(episodes, 2)->i, 2);
    EXPECT_EQ(MainView::chooseVideo(episodes, std::nullopt)->i, 1);
    EXPECT_EQ(MainView::chooseVideo({video(0, 0), video(1, 0)}, 7)->i, 0);
    EXPECT_FALSE(MainView::chooseVideo({}, 1));
}

TEST_F(MainViewTest, FocusRequestReturnsToTheLibraryWithTheTorrentSelected) {
    std::string a = add("A");
    std::string b = add("B");
    MainView& v = show();
    ui->setFilter(TorrentFilter::errors);
    ui->setShowSettings(true);
    ui->setTab(DetailTab::peers);
    engine->setFocusRequest(b);
    EXPECT_FALSE(ui->showSettings());
    EXPECT_EQ(ui->filter(), TorrentFilter::all);
    EXPECT_EQ(ui->selection(), std::set{b});
    EXPECT_EQ(ui->tab(), DetailTab::files);
    EXPECT_TRUE(ui->showDetails());
    EXPECT_FALSE(engine->focusRequest());
    EXPECT_EQ(v.primary(), b);
    (void)a;
}

TEST_F(MainViewTest, SidebarCountsIgnoreTheSearchAndAClickLeavesSettings) {
    add("Paused one");
    add("Paused two");
    MainView& v = show();
    ui->setSearch("nothing matches");
    auto* all = v.sidebar()->row(TorrentFilter::all);
    auto* paused = v.sidebar()->row(TorrentFilter::paused);
    EXPECT_EQ(all->accessibleDescription(), QStringLiteral("2"));
    EXPECT_EQ(paused->accessibleDescription(), QStringLiteral("2"));
    EXPECT_TRUE(v.sidebar()->row(TorrentFilter::seeding)->accessibleDescription().isEmpty());
    EXPECT_TRUE(all->isChecked());
    ui->setShowSettings(true);
    EXPECT_FALSE(all->isChecked());
    ui->setOpenedTorrentID("x");
    QTest::mouseClick(paused, Qt::LeftButton);
    EXPECT_FALSE(ui->showSettings());
    EXPECT_FALSE(ui->openedTorrentID());
    EXPECT_EQ(ui->filter(), TorrentFilter::paused);
    EXPECT_TRUE(paused->isChecked());
}

TEST_F(MainViewTest, ADownloadFromALoopbackSeederShowsItsProgressToTheEnd) {
    swarm::Seeder seeder;
    swarm::GeneratedTorrent::Options o;
    o.name = "Film.2021.1080p";
    o.files = {{"Film.2021.1080p/film.mkv", 3 << 20}};
    auto t = swarm::GeneratedTorrent::create(dir / "seeder", o);
    seeder.seed(t);
    MainView& v = show();
    auto added = engine->addTorrent(t.torrentPath(), (dir / "downloads").string(), std::nullopt,
                                    false, false);
    ASSERT_TRUE(added);
    std::vector<QString> seen;
    auto progress = [&] {
        int row = v.model()->rowOf(added->id);
        return row < 0 ? QString()
                       : v.model()->index(row, LibraryModel::progressColumn).data().toString();
    };
    ASSERT_TRUE(test::waitUntil(
        [&] {
            seeder.connect(t, port);
            QString now = progress();
            if (seen.empty() || seen.back() != now)
                seen.push_back(now);
            return now == QStringLiteral("100%");
        },
        60s));
    int row = v.model()->rowOf(added->id);
    EXPECT_EQ(v.model()->index(row, LibraryModel::statusColumn).data().toString(),
              QStringLiteral("Раздача"));
    // The card of the grid and the row of the list show it too.
    QModelIndex card = v.cards()->indexOf(added->id);
    EXPECT_EQ(card.data(TorrentListModel::FractionRole).toDouble(), 1.0);
    EXPECT_TRUE(v.grid()->visualRect(card).isValid());
    QTest::mouseClick(v.header()->layoutButton(1), Qt::LeftButton);
    EXPECT_TRUE(v.list()->visualRect(card).isValid());
    EXPECT_GE(seen.size(), 2u);
}

} // namespace

namespace {

TEST_F(MainViewTest, TheDetailPaneComesAndGoesWithTheWindowFlag) {
    int made = 0;
    parts.detailPane = [&](QWidget* parent, const std::string&, std::function<void()>) {
        ++made;
        auto* pane = new QWidget(parent);
        pane->setObjectName(QStringLiteral("pane"));
        return pane;
    };
    std::string film = add("Film.2020.1080p");
    MainView& v = show();
    auto panes = [&] {
        int shown = 0;
        for (QWidget* w : v.findChildren<QWidget*>(QStringLiteral("pane")))
            shown += w->isVisible();
        return shown;
    };
    ui->setSelection({film});
    ui->setShowDetails(true);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(panes(), 1);
    ui->setShowDetails(false);
    EXPECT_TRUE(test::waitUntil([&] { return panes() == 0; }));
    // Through another screen and back, the library keeps it closed.
    ui->setShowSettings(true);
    ui->setShowSettings(false);
    ui->setSelection({});
    test::spinFor(300ms);
    EXPECT_EQ(panes(), 0);
    EXPECT_EQ(made, 1);
}

TEST_F(MainViewTest, TableSelectionIsTheWindowSelectionAndTheFeaturedCardFollowsIt) {
    std::string docs = add("Notes and papers");
    std::string film = add("Film.2020.1080p");
    std::string series = add("Show.S01E02.720p");
    MainView& v = show();
    // The first video on display is featured; a selected video comes first.
    ASSERT_TRUE(v.featured()->isVisible());
    std::string first = v.featured()->torrent().id;
    EXPECT_NE(first, docs);
    std::string other = first == film ? series : film;
    ui->setSelection({other});
    EXPECT_EQ(v.featured()->torrent().id, other);
    ui->setSearch("Film");
    EXPECT_FALSE(v.featured()->isVisible());
    ui->setSearch("");
    // An open detail pane hides it at once, closing the pane brings it back.
    ui->setShowDetails(true);
    EXPECT_FALSE(v.featured()->isVisible());
    ui->setShowDetails(false);
    EXPECT_TRUE(v.featured()->isVisible());

    LibraryPreferences p = ui->preferences();
    p.layout = LibraryLayout::table;
    ui->setPreferences(p);
    EXPECT_FALSE(v.featured()->isVisible());
    QTableView* table = v.table();
    auto rowRect = [&](const std::string& id) {
        return table->visualRect(v.model()->index(v.model()->rowOf(id), 1));
    };
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, rowRect(docs).center());
    EXPECT_EQ(ui->selection(), std::set{docs});
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      rowRect(film).center());
    EXPECT_EQ(ui->selection(), (std::set{docs, film}));
    ui->setSelection({series});
    EXPECT_EQ(table->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(table->selectionModel()->selectedRows().front().row(), v.model()->rowOf(series));
    // Delete in the table asks about the whole selection.
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Delete);
    EXPECT_EQ(v.pendingRemoval(), std::set{series});
}

// The named child of a torrent's card or row, as assistive tools read it.
QAccessibleInterface* itemPart(LibraryItemView* items, const std::string& id, const QString& name) {
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(items);
    const auto row = items->torrentModel()->row(id);
    QAccessibleInterface* item = view && row ? view->child(*row) : nullptr;
    for (int i = 0; item && i < item->childCount(); ++i)
        if (item->child(i) && item->child(i)->text(QAccessible::Name) == name)
            return item->child(i);
    return nullptr;
}

QString partValue(LibraryItemView* items, const std::string& id, const QString& name) {
    QAccessibleInterface* part = itemPart(items, id, name);
    return part ? part->text(QAccessible::Value) : QString();
}

// With the torrent records frozen in the view, only the piece maps fetched
// every 2 s can change what the bar of a shown card says.
TEST_F(MainViewTest, PieceBarsFollowThePieceMapWithNothingElseChanging) {
    swarm::Seeder seeder;
    seeder.setUploadLimit(48 * 1024);
    swarm::GeneratedTorrent::Options o;
    o.name = "Slow.Film.2021.1080p";
    o.files = {{"Slow.Film.2021.1080p/film.mkv", 4 << 20}};
    auto t = swarm::GeneratedTorrent::create(dir / "seeder", o);
    seeder.seed(t);
    MainView& v = show();
    auto added = engine->addTorrent(t.torrentPath(), (dir / "downloads").string(), std::nullopt,
                                    false, false);
    ASSERT_TRUE(added);
    const std::string id = added->id;
    const QString bar = QStringLiteral("Части файла");
    ASSERT_TRUE(test::waitUntil(
        [&] {
            seeder.connect(t, port);
            auto now = engine->torrent(id);
            return now && now->wantedDone > 0 && !partValue(v.grid(), id, bar).isEmpty();
        },
        60s));
    QObject::disconnect(engine.get(), &TorrentEngine::torrentsChanged, &v, nullptr);
    const TorrentStatus frozen = v.cards()->item(*v.cards()->row(id)).torrent;

    // The engine's own answer, asked as the view asks it, against what the card shows.
    QString engineSays;
    bool asking = false;
    auto ask = [&] {
        if (asking)
            return;
        asking = true;
        engine->pieceMap(id, [&](PieceMap map) {
            engineSays = QString::fromStdString(map.summary(std::nullopt));
            asking = false;
        });
    };
    const QString first = partValue(v.grid(), id, bar);
    std::chrono::steady_clock::time_point changed{};
    ASSERT_TRUE(test::waitUntil(
        [&] {
            seeder.connect(t, port);
            ask();
            if (changed == std::chrono::steady_clock::time_point{} && !engineSays.isEmpty() &&
                engineSays != first)
                changed = std::chrono::steady_clock::now();
            return partValue(v.grid(), id, bar) != first;
        },
        30s))
        << first.toStdString();
    const auto late = std::chrono::steady_clock::now() - changed;
    RecordProperty("pieceBarLatencyMs",
                   int(std::chrono::duration_cast<std::chrono::milliseconds>(late).count()));
    EXPECT_EQ(v.cards()->item(*v.cards()->row(id)).torrent, frozen); // nothing else changed
}

TEST_F(MainViewTest, ToastStaysOverTheContentAreaWrapsElidesAndMoves) {
    MainView& v = show();
    QWidget* sidebar = v.findChild<QWidget*>(QStringLiteral("sidebar"));
    ASSERT_NE(sidebar, nullptr);
    const std::string name(200, 'x');
    const std::string message =
        "Файл отсутствует: " + name + ".Long.Title.2024.2160p.mkv " + std::string(300, 'y');
    Toast* toast = v.toast();
    engine->show(message);
    ASSERT_TRUE(test::waitUntil([&] { return toast->presence() == 1.0; }));
    const QRect at = toast->geometry();
    EXPECT_GT(at.left(), sidebar->geometry().right());
    EXPECT_LE(at.right(), v.width() - Toast::kSideMargin);
    EXPECT_EQ(at.bottom(), v.height() - 1 - Toast::kBottom);
    ASSERT_EQ(toast->lines().size(), Toast::kMaxLines);
    EXPECT_TRUE(toast->lines().back().endsWith(QChar(0x2026)));
    EXPECT_EQ(toast->accessibleName().toStdString(), message);
    engine->show("Торрент добавлен");
    ASSERT_TRUE(test::waitUntil([&] { return toast->lines().size() == 1; }));
    EXPECT_LT(toast->width(), at.width());

    // The engine clears it: it slides down as it fades, then goes.
    bool slid = false;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            if (toast->leaving() && toast->presence() < 1 &&
                toast->geometry().top() > toast->restingGeometry().top())
                slid = true;
            return !toast->isVisible();
        },
        10s));
    EXPECT_TRUE(slid);

    // With less motion asked for, it comes and goes at once.
    DesktopMotion::shared().setReduced(true);
    engine->show("Без движения");
    EXPECT_EQ(toast->presence(), 1.0);
    EXPECT_EQ(toast->geometry(), toast->restingGeometry());
    EXPECT_TRUE(quorvel::PressableCard::reduceMotion());
    auto* transfer = v.findChild<SidebarTransferStatus*>();
    ASSERT_NE(transfer, nullptr);
    EXPECT_TRUE(transfer->reduceMotion());
    DesktopMotion::shared().setReduced(false);
    EXPECT_FALSE(quorvel::PressableCard::reduceMotion());
    EXPECT_FALSE(transfer->reduceMotion());
}

TEST_F(MainViewTest, TheFeaturedItemScrollsWithTheGridAtTheMinimumSize) {
    for (int i = 0; i < 8; ++i)
        add("Film.Number." + std::to_string(i) + ".2020.1080p");
    view = new MainView(*engine, *ui, nullptr, nullptr, parts);
    view->resize(900, 560 - 24); // the minimum window, less its menu bar
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    ASSERT_TRUE(view->featured()->isVisible());
    QWidget* w = view->grid()->parentWidget();
    while (w && !qobject_cast<QScrollArea*>(w))
        w = w->parentWidget();
    auto* area = qobject_cast<QScrollArea*>(w);
    ASSERT_NE(area, nullptr);
    EXPECT_TRUE(area->widget()->isAncestorOf(view->featured()));
    // The scroll view takes the whole content area under the header.
    EXPECT_GE(area->viewport()->height(), view->height() - 54 - 2);
    // Scrolled down, the featured item leaves the view with the grid's first row.
    ASSERT_TRUE(test::waitUntil([&] { return area->verticalScrollBar()->maximum() > 300; }));
    const int before = view->featured()->mapTo(area->viewport(), QPoint()).y();
    area->verticalScrollBar()->setValue(300);
    EXPECT_EQ(view->featured()->mapTo(area->viewport(), QPoint()).y(), before - 300);
    // The wheel over the cards scrolls the whole view.
    const QPoint over = view->grid()->viewport()->mapFrom(area->viewport(), QPoint(200, 200));
    QWheelEvent wheel(over, view->grid()->viewport()->mapToGlobal(over), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel); // as from the pointer: it may pass to the parents
    QApplication::sendEvent(view->grid()->viewport(), &wheel);
    EXPECT_GT(area->verticalScrollBar()->value(), 300);
    EXPECT_EQ(view->grid()->verticalScrollBar()->value(), 0);
    // The keyboard's item is brought into view.
    view->grid()->setFocus();
    view->grid()->setCurrentIndex(view->cards()->index(7));
    const QRect card = view->grid()->visualRect(view->cards()->index(7));
    const QPoint top = view->grid()->viewport()->mapTo(area->viewport(), card.topLeft());
    EXPECT_GE(top.y(), 0);
    EXPECT_LE(top.y() + card.height(), area->viewport()->height());
}

TEST_F(MainViewTest, TableFitsEveryStatusKeepsTheSelectionOnARightClickAndSortsNamesByLocale) {
    std::vector<std::string> ids;
    for (const char* name : {"Серия 10", "Серия 2", "серия 3", "Ёлки", "Арбуз"})
        ids.push_back(add(name, 64 * 1024));
    MainView& v = show();
    LibraryPreferences p = ui->preferences();
    p.layout = LibraryLayout::table;
    ui->setPreferences(p);
    QTableView* table = v.table();
    const QFontMetrics fm(LibraryStyle::font(11));
    for (const std::string& word : TorrentStatusText::statusTexts())
        EXPECT_GE(table->columnWidth(LibraryModel::statusColumn),
                  fm.horizontalAdvance(QString::fromStdString(word)) + 12 + 10)
            << word;

    table->horizontalHeader()->sectionClicked(LibraryModel::nameColumn);
    std::vector<std::string> names;
    for (const auto& t : v.model()->torrents())
        names.push_back(t.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Арбуз", "Ёлки", "Серия 2", "серия 3", "Серия 10"}));

    // A right click inside the selection keeps it and acts on all of it; outside, on the row alone.
    ui->setSelection({ids[0], ids[1]});
    auto rightClick = [&](const std::string& id) {
        const QPoint at = table->visualRect(v.model()->index(v.model()->rowOf(id), 1)).center();
        QTest::mousePress(table->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at,
                                    table->viewport()->mapToGlobal(at));
        QApplication::sendEvent(table->viewport(), &menuEvent);
        QTest::mouseRelease(table->viewport(), Qt::RightButton, {}, at);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        const bool single = menu && menu->actions().front()->text() == QStringLiteral("Открыть");
        if (menu)
            menu->close();
        return single;
    };
    EXPECT_FALSE(rightClick(ids[1]));
    EXPECT_EQ(ui->selection(), (std::set{ids[0], ids[1]}));
    EXPECT_TRUE(rightClick(ids[4]));
    EXPECT_EQ(ui->selection(), (std::set{ids[0], ids[1]}));
}

TEST_F(MainViewTest, HiddenTorrentsLeaveTheSelectionAndTheDetailPaneFollowsTheOrder) {
    std::vector<std::string> panes;
    parts.detailPane = [&](QWidget* parent, const std::string& id, std::function<void()>) {
        panes.push_back(id);
        return new QWidget(parent);
    };
    std::string paused = add("Paused.One");
    std::string running = add("Running.Two", 64 * 1024, false);
    MainView& v = show();
    ui->setFilter(TorrentFilter::paused);
    ASSERT_EQ(shownIds(), std::vector{paused});
    // A selection made elsewhere (the control server, say) holds a hidden torrent;
    // the next search tidies it although the same torrents stay on display.
    ui->setSelection({paused, running});
    ui->setSearch(" ");
    EXPECT_EQ(shownIds(), std::vector{paused});
    EXPECT_EQ(ui->selection(), std::set{paused});
    ui->setSearch("");
    ui->setFilter(TorrentFilter::all);

    // The detail pane shows the first selected torrent in display order, also after a re-sort.
    LibraryPreferences p = ui->preferences();
    p.layout = LibraryLayout::table;
    ui->setPreferences(p);
    ui->setSelection({paused, running});
    ui->setShowDetails(true);
    ASSERT_FALSE(v.detailTorrent().empty());
    EXPECT_EQ(v.detailTorrent(), shownIds().front());
    const std::string before = v.detailTorrent();
    v.table()->horizontalHeader()->sectionClicked(LibraryModel::nameColumn);
    if (shownIds().front() == before)
        v.table()->horizontalHeader()->sectionClicked(LibraryModel::nameColumn);
    ASSERT_NE(shownIds().front(), before);
    EXPECT_EQ(v.detailTorrent(), shownIds().front());
}

TEST_F(MainViewTest, ThePortLabelShrinksThenElidesInTheSidebar) {
    MainView& v = show();
    auto* status = v.findChild<SidebarNetworkStatus*>();
    ASSERT_NE(status, nullptr);
    FittedLabel* port = status->portLabel();
    QWidget* sidebar = v.findChild<QWidget*>(QStringLiteral("sidebar"));
    const QString text = QStringLiteral("Порт 20000 · NAT-PMP: ошибка сопоставления портов");
    port->setText(text);
    QApplication::processEvents();
    const QRect inSidebar(port->mapTo(sidebar, QPoint()), port->size());
    EXPECT_LE(inSidebar.right(), sidebar->width());
    EXPECT_EQ(port->scale(), 0.85);
    EXPECT_TRUE(port->shownText().endsWith(QChar(0x2026)));
    EXPECT_EQ(port->accessibleName(), text);
    port->setText(QStringLiteral("Порт 20000"));
    EXPECT_EQ(port->scale(), 1.0);
    EXPECT_EQ(port->shownText(), QStringLiteral("Порт 20000"));
}

// A 200-character name without spaces still leaves the removal dialog
// within a window of the minimum width.
TEST_F(MainViewTest, TheRemovalDialogOfALongNameKeepsToTheWindow) {
    std::string name = "Long.Name.Without.Spaces.";
    while (name.size() < 200)
        name += "Part.";
    name.resize(200);
    std::string id = add(name);
    MainView& v = show();
    v.resize(900, 536);
    v.requestRemoval({id});
    ASSERT_NE(v.removalDialog(), nullptr);
    ASSERT_TRUE(test::waitUntil([&] { return v.removalDialog()->isVisible(); }));
    EXPECT_LE(v.removalDialog()->width(), v.width());
    // The text itself can wrap to that width, whatever room the screen leaves.
    QLabel* text = nullptr;
    for (QLabel* label : v.removalDialog()->findChildren<QLabel*>())
        if (label->text().contains(QStringLiteral("Удалить")))
            text = label;
    ASSERT_NE(text, nullptr);
    EXPECT_LE(text->minimumSizeHint().width(), v.width() / 2);
    EXPECT_EQ(v.removalTitle().toStdString(), "Удалить «" + name + "»?");
    v.removalDialog()->reject();
}

} // namespace

TEST_F(MainViewTest, EachEngineChangeShowsWhatTheWholeListWouldInEveryLayout) {
    // Added within a second of each other: the table's "added" order has ties,
    // which keep the engine's order.
    std::vector<std::string> ids;
    for (const char* name : {"Delta", "alpha", "Charlie", "bravo", "Echo"})
        ids.push_back(add(name, 64 * 1024 * (1 + int(ids.size()) % 3)));
    MainView& v = show();
    int checked = 0;
    std::vector<std::string> wrong;
    auto expectWhole = [&] {
        LibrarySelection::Inputs in;
        in.filter = ui->filter();
        in.search = ui->search();
        in.preferences = ui->preferences();
        in.sortOrder = v.sortOrder();
        std::vector<std::string> whole, shown, table, cards;
        for (const auto& t : LibrarySelection::visible(engine->torrents(), in))
            whole.push_back(t.id + (t.paused ? "/p" : ""));
        for (const auto& t : v.visible())
            shown.push_back(t.id + (t.paused ? "/p" : ""));
        for (const auto& t : v.model()->torrents())
            table.push_back(t.id + (t.paused ? "/p" : ""));
        for (int r = 0; r < v.cards()->rowCount(); ++r) {
            const auto& t = v.cards()->item(r).torrent;
            cards.push_back(t.id + (t.paused ? "/p" : ""));
            if (v.cards()->row(t.id) != r)
                cards.push_back("misplaced in the index: " + t.id);
        }
        ++checked;
        if (shown != whole || table != whole || cards != whole)
            wrong.push_back("after change " + std::to_string(checked));
    };
    // After the view's own refresh, which was connected first.
    QObject::connect(engine.get(), &TorrentEngine::torrentsChanged, view, expectWhole);

    auto settle = [&](auto done) { EXPECT_TRUE(test::waitUntil(done)); };
    auto paused = [&](const std::string& id) { return engine->torrent(id)->paused; };
    struct Step {
        LibraryLayout layout;
        LibrarySort sort;
        TorrentFilter filter;
    };
    for (Step step : {Step{LibraryLayout::table, LibrarySort::newest, TorrentFilter::all},
                      Step{LibraryLayout::table, LibrarySort::newest, TorrentFilter::paused},
                      Step{LibraryLayout::grid, LibrarySort::name, TorrentFilter::downloading},
                      Step{LibraryLayout::list, LibrarySort::size, TorrentFilter::all}}) {
        LibraryPreferences p = ui->preferences();
        p.layout = step.layout;
        p.sort = step.sort;
        ui->setPreferences(p);
        ui->setFilter(step.filter);
        // One at a time, so that each change is a small one the view follows.
        for (std::size_t i = 0; i < ids.size(); i += 2) {
            bool was = paused(ids[i]);
            engine->togglePause(ids[i]);
            settle([&] { return paused(ids[i]) != was; });
        }
    }
    std::string added = add("Foxtrot");
    engine->remove({ids[1]}, false);
    settle([&] { return !engine->torrent(ids[1]).has_value(); });
    expectWhole();
    EXPECT_TRUE(engine->torrent(added).has_value());
    EXPECT_GT(checked, 12);
    EXPECT_EQ(wrong, std::vector<std::string>{});
}
