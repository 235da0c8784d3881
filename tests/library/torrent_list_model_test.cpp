#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QSignalSpy>
#include <QTest>

#include "tests/library/library_engine.h"
#include "tests/library/widgets_app.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tevro/library/library_item_delegate.h"
#include "tevro/library/torrent_grid_view.h"
#include "tevro/library/torrent_list_model.h"
#include "tevro/library/torrent_row_view.h"
#include "tevro/media/artwork_store.h"

namespace tevro {
namespace {

TorrentStatus make(const std::string& id, double fraction = 0.5) {
    TorrentStatus t;
    t.id = id;
    t.name = "Film." + id + ".2015.1080p.mkv";
    t.state = "downloading";
    t.hasMetadata = true;
    t.autoManaged = true;
    t.wanted = t.total = 1000;
    t.wantedDone = std::int64_t(1000 * fraction);
    return t;
}

std::vector<std::string> ids(const TorrentListModel& model) {
    std::vector<std::string> out;
    for (int i = 0; i < model.rowCount(); ++i)
        out.push_back(model.item(i).torrent.id);
    return out;
}

TEST(TorrentListModelTest, SignalsOnlyRowsWhoseShownValuesChanged) {
    test::ensureWidgetsApp();
    TorrentListModel model;
    std::vector<TorrentStatus> list = {make("a"), make("b"), make("c"), make("d"), make("e")};
    model.setTorrents(list);
    ASSERT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.data(model.index(2), TorrentListModel::PercentRole).toString(),
              QStringLiteral("50%"));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    list[2].wantedDone = 600;  // shown: the percentage
    list[4].uploadRate = 5000; // not shown by any item
    model.setTorrents(list);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 2);
    EXPECT_EQ(model.data(model.index(2), TorrentListModel::PercentRole).toString(),
              QStringLiteral("60%"));
    model.setTorrents(list);
    EXPECT_EQ(changed.count(), 1);

    // Rows follow their ids through removals, insertions and moves.
    const QPersistentModelIndex c = model.indexOf("c");
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    std::vector<TorrentStatus> next = {make("x"), list[0], list[3], list[2], make("y"), list[4]};
    model.setTorrents(next);
    EXPECT_EQ(ids(model), (std::vector<std::string>{"x", "a", "d", "c", "y", "e"}));
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(inserted.count(), 2);
    EXPECT_EQ(c.row(), 3);
    EXPECT_EQ(model.data(c, TorrentListModel::PercentRole).toString(), QStringLiteral("60%"));

    changed.clear();
    model.setSelection({"d"});
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 2);
    EXPECT_TRUE(model.data(model.index(2), TorrentListModel::SelectedRole).toBool());
    EXPECT_EQ(model.data(model.index(2), Qt::AccessibleTextRole).toString(),
              QStringLiteral("Film d, Загрузка, 50%"));
}

// Rows never painted nor asked for a text keep none, and are still
// signalled exactly when what they would show changes.
TEST(TorrentListModelTest, TextsAreMadeOnlyForRowsAskedFor) {
    test::ensureWidgetsApp();
    TorrentListModel model;
    std::vector<TorrentStatus> list = {make("a"), make("b"), make("c")};
    model.setTorrents(list);
    model.setSelection({"b"});
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(model.data(model.index(row), TorrentListModel::IdRole).toString().toStdString(),
                  list[std::size_t(row)].id);
        model.data(model.index(row), TorrentListModel::SelectedRole);
        model.data(model.index(row), Qt::DecorationRole);
        EXPECT_EQ(model.item(row).shownText, nullptr) << row;
    }

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    list[0].wantedDone = 700;   // shown, texts never made
    list[1].uploaded = 1 << 20; // not shown, texts never made
    list[2].state = "seeding";  // shown, texts made before
    list[2].seeding = true;
    EXPECT_EQ(model.data(model.index(2), TorrentListModel::ProgressTextRole).toString(),
              QStringLiteral("50%"));
    model.setTorrents(list);
    std::vector<int> rows;
    for (const auto& args : changed)
        rows.push_back(args[0].toModelIndex().row());
    EXPECT_EQ(rows, (std::vector<int>{0, 2}));
    EXPECT_EQ(model.item(0).shownText, nullptr);
    EXPECT_EQ(model.data(model.index(0), TorrentListModel::PercentRole).toString(),
              QStringLiteral("70%"));
    EXPECT_EQ(model.data(model.index(2), TorrentListModel::ProgressTextRole).toString(),
              QStringLiteral("Готово"));
    EXPECT_EQ(model.item(1).shownText, nullptr);

    // A rename gives the title of the new name, made or not.
    list[0].name = list[1].name = "Other.Film.2020.mkv";
    model.setTorrents(list);
    EXPECT_EQ(model.item(0).text().title, model.item(1).text().title);
    EXPECT_EQ(model.item(0).text(), LibraryItemText::make(list[0]));
}

TEST(TorrentGridViewTest, ThousandTorrentsWithoutWidgetsAndClicksOnPaintedParts) {
    test::ensureWidgetsApp();
    TorrentListModel model;
    std::vector<TorrentStatus> list;
    for (int i = 0; i < 1000; ++i)
        list.push_back(make("t" + std::to_string(i), i / 1000.0));
    model.setTorrents(list);
    TorrentGridView view;
    view.setTorrentModel(&model);
    view.resize(1100, 800);
    view.show();
    QApplication::processEvents();
    EXPECT_EQ(view.columns(), 4);
    EXPECT_TRUE(view.viewport()->findChildren<QWidget*>().isEmpty());

    const QModelIndex first = model.index(1);
    const QRect cell = view.visualRect(first);
    ASSERT_TRUE(cell.isValid());
    auto part = [&](const QModelIndex& index, const QString& name) {
        for (const PaintedElement& e : view.elementsOf(index))
            if (e.name == name)
                return e.rect.center().toPoint();
        ADD_FAILURE() << "no part " << name.toStdString();
        return QPoint();
    };
    QSignalSpy play(&view, &LibraryItemView::playRequested);
    QSignalSpy select(&view, &LibraryItemView::selectRequested);
    QSignalSpy pause(&view, &LibraryItemView::pauseRequested);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, part(first, QStringLiteral("Смотреть")));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      part(first, QStringLiteral("Film t1")));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      part(first, QStringLiteral("Приостановить загрузку")));
    ASSERT_EQ(play.count(), 1);
    EXPECT_EQ(play[0][0].toString(), QStringLiteral("t1"));
    ASSERT_EQ(select.count(), 1);
    EXPECT_EQ(select[0][1].value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    EXPECT_EQ(pause.count(), 1);

    // Checking metrics make a card taller, and taller again when they wrap to
    // two lines; each time the grid lays the cards out again, so the gap to
    // the card below stays the grid's spacing.
    const QModelIndex below = model.index(1 + view.columns());
    auto gap = [&] { return view.visualRect(below).top() - view.visualRect(first).bottom() - 1; };
    const int before = view.visualRect(first).height();
    list[1].state = "checking";
    list[1].progress = 0.3;
    model.setTorrents(list);
    ASSERT_TRUE(test::waitUntil([&] { return view.visualRect(first).height() > before; }));
    const int oneLine = view.visualRect(first).height();
    EXPECT_EQ(gap(), TorrentGridView::kSpacing);
    list[1].total = std::int64_t(900) << 30;
    list[1].checkingRate = std::int64_t(123)
                           << 20; // a speed and a time left: too wide for one line
    model.setTorrents(list);
    ASSERT_TRUE(test::waitUntil([&] { return view.visualRect(first).height() > oneLine; }));
    EXPECT_EQ(gap(), TorrentGridView::kSpacing);
}

TEST(TorrentGridViewTest, CardsKeepBetweenTheMinimumAndMaximumWidthAndStartAtThePadding) {
    test::ensureWidgetsApp();
    TorrentListModel model;
    model.setTorrents({make("a"), make("b"), make("c")});
    TorrentGridView view;
    view.setTorrentModel(&model);
    view.show();
    struct Case {
        int width;
        int columns;
    };
    for (const Case& c : {Case{420, 1}, Case{560, 2}, Case{1100, 4}}) {
        view.resize(c.width, 600);
        QApplication::processEvents();
        EXPECT_EQ(view.columns(), c.columns) << c.width;
        EXPECT_GE(view.cardWidth(), TorrentGridView::kMinCardWidth) << c.width;
        EXPECT_LE(view.cardWidth(), TorrentGridView::kMaxCardWidth) << c.width;
        // The first card stands at the side padding from the view's edge.
        const QPoint first =
            view.viewport()->mapTo(&view, view.visualRect(model.index(0)).topLeft());
        EXPECT_EQ(first.x(), LibraryItemView::kSidePadding) << c.width;
    }
}

// Records the regions the viewport repaints.
struct PaintLog : QObject {
    QRegion painted;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(e)->region();
        return false;
    }
};

TEST(TorrentRowViewTest, AChangedRowRepaintsOnlyItself) {
    test::ensureWidgetsApp();
    TorrentListModel model;
    std::vector<TorrentStatus> list;
    for (int i = 0; i < 300; ++i)
        list.push_back(make("r" + std::to_string(i)));
    model.setTorrents(list);
    TorrentRowView view;
    view.setTorrentModel(&model);
    view.resize(900, 500);
    PaintLog log;
    view.viewport()->installEventFilter(&log);
    view.show();
    // Until the first layout and paints are over: a quiet spell without paints.
    for (int i = 0; i < 50; ++i) {
        log.painted = QRegion();
        test::spinFor(std::chrono::milliseconds(200));
        if (log.painted.isEmpty())
            break;
    }

    list[250].wantedDone = 900; // far below the visible rows
    model.setTorrents(list);
    test::spinFor(std::chrono::milliseconds(200));
    EXPECT_TRUE(log.painted.isEmpty());

    list[1].wantedDone = 900;
    model.setTorrents(list);
    ASSERT_TRUE(test::waitUntil([&] { return !log.painted.isEmpty(); }));
    test::spinFor(std::chrono::milliseconds(100));
    const QRect row = view.visualRect(model.index(1));
    EXPECT_TRUE(view.viewport()->rect().contains(row)); // the whole row is on screen
    EXPECT_EQ(log.painted.boundingRect(), row);
}

TEST(TorrentRowViewTest, PaintedRowsFetchTheirPictureAndPieces) {
    test::ensureWidgetsApp();
    test::LibraryEngine engine;
    const auto made = engine.make("Clip.2001.mkv", {{"Clip.2001.mkv", 256 * 1024}}, 9);
    const TorrentStatus seeding = engine.addSeeding(made);
    test::TempDir cache;
    QImage frame(512, 288, QImage::Format_RGB32);
    frame.fill(Qt::magenta);
    frame.save(
        QString::fromStdString(
            (cache.path() / (ArtworkStore::cacheKey(seeding.id, std::nullopt) + ".jpg")).string()),
        "JPG");
    ArtworkStore store(
        {.files = {}, .videos = {}, .directory = cache.path(), .extractor = "/nonexistent"});

    TorrentListModel model(&store, &engine.engine());
    model.setTorrents({seeding});
    TorrentRowView view;
    view.setTorrentModel(&model);
    view.resize(900, 400);
    view.show();
    ASSERT_TRUE(test::waitUntil([&] {
        return model.data(model.index(0), TorrentListModel::HasArtworkRole).toBool() &&
               !model.item(0).map.bytes.empty();
    }));
    EXPECT_EQ(model.item(0).map.summary(std::nullopt), "Скачано: 4");
    // The row spans the list and shows the picture.
    const QRect row = view.visualRect(model.index(0));
    EXPECT_GT(row.width(), 800);
    const QImage shot = view.viewport()->grab().toImage();
    const QPoint inPicture = row.topLeft() + QPoint(12 + 70, row.height() / 2);
    EXPECT_TRUE(test::near(shot.pixelColor(inPicture), Qt::magenta, 40));
}

} // namespace
} // namespace tevro
