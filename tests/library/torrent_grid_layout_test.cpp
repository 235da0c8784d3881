#include <gtest/gtest.h>

#include <QApplication>
#include <QListView>
#include <QTest>

#include "tests/library/widgets_app.h"
#include "tests/support/qt_app.h"
#include "tevro/library/torrent_card_item_delegate.h"
#include "tevro/library/torrent_grid_view.h"
#include "tevro/library/torrent_list_model.h"

namespace tevro {
namespace {

TorrentStatus card(int n, const std::string& state = "downloading") {
    TorrentStatus t;
    t.id = "id" + std::to_string(n);
    t.name = "Film." + std::to_string(n) + ".2015.1080p.mkv";
    t.state = state;
    t.hasMetadata = true;
    t.autoManaged = true;
    t.wanted = t.total = 1000;
    t.wantedDone = 500;
    return t;
}

// A check whose metrics take two lines on a narrow card.
TorrentStatus wideCheck(int n) {
    TorrentStatus t = card(n, "checking");
    t.progress = 0.3;
    t.total = std::int64_t(900) << 30;
    t.checkingRate = std::int64_t(123) << 20;
    return t;
}

TorrentStatus check(int n) {
    TorrentStatus t = card(n, "checking");
    t.progress = 0.6;
    return t;
}

// The list view with the grid's margins.
struct ReferenceView : QListView {
    ReferenceView() {
        const int side = LibraryItemView::kSidePadding - TorrentGridView::kSpacing;
        setViewportMargins(side, 0, side, 0);
    }
};

// The grid beside a plain icon-mode list view set up the same way, which
// measures and places every card at each layout: the grid must place its
// cards, find them and move between them as that view does.
struct GridAndReference {
    GridAndReference(std::vector<TorrentStatus> torrents, QSize size) : list(std::move(torrents)) {
        model.setTorrents(list);
        grid.setTorrentModel(&model);
        reference.setItemDelegate(&cards);
        reference.setViewMode(QListView::IconMode);
        reference.setFlow(QListView::LeftToRight);
        reference.setWrapping(true);
        reference.setMovement(QListView::Static);
        reference.setResizeMode(QListView::Adjust);
        reference.setSpacing(TorrentGridView::kSpacing);
        reference.setUniformItemSizes(false);
        reference.setLayoutMode(QListView::SinglePass);
        reference.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        reference.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        reference.setFrameShape(QFrame::NoFrame);
        reference.setModel(&model);
        resize(size);
        grid.show();
        reference.show();
        settle();
    }
    void resize(QSize size) {
        grid.resize(size);
        reference.resize(size);
        settle();
    }
    void settle() {
        QApplication::processEvents();
        cards.setCardWidth(grid.cardWidth());
        reference.doItemsLayout();
        QApplication::processEvents();
    }
    void set(std::vector<TorrentStatus> torrents) {
        list = std::move(torrents);
        model.setTorrents(list);
        settle();
    }
    void expectSamePlaces() {
        ASSERT_EQ(grid.viewport()->width(), reference.viewport()->width());
        ASSERT_EQ(cards.cardWidth(), grid.cardWidth());
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex index = model.index(row);
            EXPECT_EQ(grid.visualRect(index), reference.visualRect(index)) << "row " << row;
        }
        EXPECT_EQ(grid.sizeHint().height(),
                  grid.visualRect(model.index(model.rowCount() - 1)).bottom() + 1 +
                      TorrentGridView::kSpacing);
        // The cards painted alike.
        EXPECT_TRUE(test::render(*grid.viewport()) == test::render(*reference.viewport()));
        // Points on cards, in the gaps and past the last one.
        const QRect last = reference.visualRect(model.index(model.rowCount() - 1));
        for (int y = 0; y < last.bottom() + 40; y += 23)
            for (int x = 0; x < grid.viewport()->width(); x += 29)
                EXPECT_EQ(grid.indexAt({x, y}), reference.indexAt({x, y})) << x << "," << y;
    }

    std::vector<TorrentStatus> list;
    TorrentListModel model;
    TorrentGridView grid;
    TorrentCardItemDelegate cards;
    ReferenceView reference;
};

std::vector<TorrentStatus> mixed(int count) {
    std::vector<TorrentStatus> list;
    for (int i = 0; i < count; ++i)
        list.push_back(i == 2 || i == 9 ? check(i) : i == 5 ? wideCheck(i) : card(i));
    return list;
}

TEST(TorrentGridLayoutTest, CardsStandWhereAFreshLayoutOfEveryCardPutsThem) {
    test::ensureWidgetsApp();
    GridAndReference views(mixed(14), {900, 1400});
    {
        SCOPED_TRACE("laid out");
        views.expectSamePlaces();
    }
    // An insert at the top moves every card on by one place: checking ones
    // land in other grid rows.
    auto list = views.list;
    list.insert(list.begin(), card(100));
    views.set(list);
    {
        SCOPED_TRACE("a card inserted at the top");
        views.expectSamePlaces();
    }
    list.insert(list.begin() + 1, wideCheck(101));
    list.push_back(check(102));
    views.set(list);
    {
        SCOPED_TRACE("checking cards inserted at the top and the end");
        views.expectSamePlaces();
    }
    list.erase(list.begin() + 3, list.begin() + 5);
    views.set(list);
    {
        SCOPED_TRACE("two cards removed, one of them checking");
        views.expectSamePlaces();
    }
    // Cards that start and stop checking change in place.
    list[0] = check(100);
    list[5].state = "downloading";
    list[7].state = "checking";
    views.set(list);
    {
        SCOPED_TRACE("checks started and ended");
        views.expectSamePlaces();
    }
    for (int width : {480, 1400, 700}) {
        SCOPED_TRACE("width " + std::to_string(width));
        views.resize({width, 1400});
        views.expectSamePlaces();
    }
    // A new order moves the rows by a layout change.
    std::reverse(list.begin(), list.end());
    views.set(list);
    {
        SCOPED_TRACE("reversed");
        views.expectSamePlaces();
    }
    views.set({});
    EXPECT_EQ(views.grid.sizeHint().height(), 0);
    views.set(mixed(3));
    {
        SCOPED_TRACE("emptied and filled again");
        views.expectSamePlaces();
    }
}

TEST(TorrentGridLayoutTest, KeysMoveBetweenCardsAsInAFreshLayout) {
    test::ensureWidgetsApp();
    GridAndReference views(mixed(17), {900, 700});
    views.grid.setFocus();
    views.reference.setFocus();
    const Qt::Key keys[] = {Qt::Key_Up,   Qt::Key_Down, Qt::Key_Left,   Qt::Key_Right,
                            Qt::Key_Home, Qt::Key_End,  Qt::Key_PageUp, Qt::Key_PageDown};
    for (int row = 0; row < views.model.rowCount(); ++row) {
        for (Qt::Key key : keys) {
            SCOPED_TRACE("row " + std::to_string(row) + " key " +
                         QKeySequence(key).toString().toStdString());
            views.grid.setCurrentIndex(views.model.index(row));
            views.reference.setCurrentIndex(views.model.index(row));
            QTest::keyClick(&views.grid, key);
            QTest::keyClick(&views.reference, key);
            EXPECT_EQ(views.grid.currentIndex().row(), views.reference.currentIndex().row());
        }
    }
    // The current card stays the same torrent across an insert above it.
    views.grid.setCurrentIndex(views.model.index(4));
    auto list = views.list;
    list.insert(list.begin(), check(200));
    views.set(list);
    EXPECT_EQ(views.grid.currentIndex().row(), 5);
    views.reference.setCurrentIndex(views.model.index(5));
    QTest::keyClick(&views.grid, Qt::Key_Down);
    QTest::keyClick(&views.reference, Qt::Key_Down);
    EXPECT_EQ(views.grid.currentIndex().row(), views.reference.currentIndex().row());
}

} // namespace
} // namespace tevro
