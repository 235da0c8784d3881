#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "tests/library/library_engine.h"
#include "tests/library/widgets_app.h"
#include "tests/support/qt_app.h"
#include "tevro/core/format.h"
#include "tevro/library/featured_torrent.h"
#include "tevro/library/library_style.h"
#include "tevro/library/torrent_card.h"
#include "tevro/library/torrent_grid_view.h"
#include "tevro/library/torrent_list_model.h"
#include "tevro/library/torrent_row_view.h"

namespace tevro {
namespace {

QString bytes(std::int64_t n) {
    return QString::fromStdString(Format::bytes(n));
}

TorrentStatus record(std::string state, std::string name) {
    TorrentStatus t;
    t.id = "0123456789abcdef0123456789abcdef01234567";
    t.name = std::move(name);
    t.state = std::move(state);
    t.hasMetadata = true;
    t.autoManaged = true;
    t.total = 2000;
    t.wanted = 1000;
    t.wantedDone = 420;
    return t;
}

class LibraryItemsTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureWidgetsApp(); }
};

// The grid and the list of the window, over the window's model, showing `torrents`.
template <class View> struct Shown {
    explicit Shown(std::vector<TorrentStatus> torrents, TorrentEngine* engine = nullptr,
                   QSize size = {900, 700})
        : model(nullptr, engine) {
        model.setTorrents(torrents);
        view.setTorrentModel(&model);
        view.resize(size);
        view.show();
        QApplication::processEvents();
    }
    void set(const TorrentStatus& t) {
        model.setTorrents({t});
        QApplication::processEvents();
    }
    TorrentListModel model;
    View view;
};

void click(LibraryItemView& view, const QRect& rect,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, rect.center());
}

TEST_F(LibraryItemsTest, CardReadsBackRealEngineRecordsAsTheyChange) {
    test::LibraryEngine engine;
    const auto made = engine.make("Northern.Lights.2019.1080p",
                                  {{"Northern.Lights.2019.1080p/movie.mkv", 256 * 1024}}, 7);
    const TorrentStatus seeding = engine.addSeeding(made);
    Shown<TorrentGridView> grid({seeding}, &engine.engine());
    LibraryItemView& v = grid.view;
    const std::string& id = seeding.id;

    QAccessibleInterface* item = test::accessibleItem(v, id);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->role(), QAccessible::ListItem);
    EXPECT_EQ(item->text(QAccessible::Name), QStringLiteral("Northern Lights, Раздача, 100%"));
    EXPECT_EQ(test::accessibleNamed(v, id, QStringLiteral("Northern Lights, Раздача, 100%")).role,
              QAccessible::Button);
    EXPECT_TRUE(test::hasAccessible(v, id, QStringLiteral("2019 · 1080p")));
    EXPECT_TRUE(test::hasAccessible(v, id, QStringLiteral("1080p"))); // quality tag
    EXPECT_TRUE(test::hasAccessible(v, id, bytes(256 * 1024)));
    EXPECT_TRUE(test::hasAccessible(v, id, QStringLiteral("Готово")));
    EXPECT_TRUE(test::hasAccessible(v, id, QStringLiteral("Смотреть")));
    const auto badge = test::accessibleNamed(v, id, QStringLiteral("Раздача"));
    EXPECT_EQ(badge.value, LibraryStyle::mint().name());
    const auto pause = test::accessibleNamed(v, id, QStringLiteral("Приостановить загрузку"));
    EXPECT_EQ(pause.description, QStringLiteral("Пауза"));
    EXPECT_EQ(pause.value, QStringLiteral("pause.circle"));
    // The piece map arrives from the engine: the bar under the picture turns into pieces.
    ASSERT_TRUE(
        test::waitUntil([&] { return test::hasAccessible(v, id, QStringLiteral("Части файла")); }));
    EXPECT_EQ(test::accessibleNamed(v, id, QStringLiteral("Части файла")).value,
              QStringLiteral("Скачано: 4"));

    // Paused by hand: the engine's next record offers to resume.
    QSignalSpy pauses(&v, &LibraryItemView::pauseRequested);
    click(v, pause.rect);
    ASSERT_EQ(pauses.count(), 1);
    engine.engine().pause({id});
    grid.set(engine.waitFor(id, [](const TorrentStatus& t) { return t.paused; }));
    const auto resume = test::accessibleNamed(v, id, QStringLiteral("Возобновить загрузку"));
    EXPECT_EQ(resume.description, QStringLiteral("Возобновить"));
    EXPECT_EQ(resume.value, QStringLiteral("arrow.down.circle"));
    EXPECT_EQ(item->text(QAccessible::Name), QStringLiteral("Northern Lights, Готово, 100%"));
}

TEST_F(LibraryItemsTest, DownloadingCardShowsPercentAndRate) {
    test::LibraryEngine engine;
    const auto made = engine.make("Garden.Timelapse.2020.1080p.mkv",
                                  {{"Garden.Timelapse.2020.1080p.mkv", 8 << 20}}, 8);
    const TorrentStatus downloading = engine.addDownloading(made);
    Shown<TorrentGridView> grid({downloading});
    LibraryItemView& v = grid.view;
    const std::string& id = downloading.id;
    const QString percent = QString::fromStdString(Format::percent(downloading.displayProgress()));
    EXPECT_TRUE(
        test::hasAccessible(v, id, QStringLiteral("Garden Timelapse, Загрузка, ") + percent));
    EXPECT_TRUE(test::hasAccessible(v, id, percent));
    EXPECT_TRUE(test::hasAccessible(v, id, QStringLiteral("2020 · 1080p")));
    EXPECT_TRUE(test::hasAccessible(v, id, QStringLiteral("Смотреть")));
    EXPECT_EQ(test::accessibleNamed(v, id, QStringLiteral("Загрузка")).value,
              QColor(Qt::white).name());
    if (downloading.downloadRate >= 1) {
        EXPECT_TRUE(test::hasAccessible(
            v, id, QStringLiteral("↓ ") + bytes(downloading.downloadRate) + QStringLiteral("/с")));
    }
}

TEST_F(LibraryItemsTest, CardCasesThatMatter) {
    struct Case {
        const char* what;
        TorrentStatus torrent;
        std::vector<QString> names;
        std::vector<QString> absent;
    };
    TorrentStatus magnet = record("metadata", "Some.Magnet");
    magnet.hasMetadata = false;
    magnet.wanted = magnet.wantedDone = 0;
    magnet.total = 0;
    TorrentStatus nothingWanted = record("finished", "Backup.zip");
    nothingWanted.finished = true;
    nothingWanted.wanted = 0;
    nothingWanted.total = 3000;
    TorrentStatus recheck = record("checking", "Show.S01E02.720p.mkv");
    recheck.finished = true;
    recheck.progress = 0.25;
    TorrentStatus queued = record("downloading", "Notes.txt");
    queued.paused = true;
    TorrentStatus missing = record("missing", "Song.flac");
    missing.paused = true;
    missing.autoManaged = false;
    TorrentStatus slow = record("downloading", "Clip.mkv");
    slow.downloadRate = 1;
    const Case cases[] = {
        {"magnet without metadata",
         magnet,
         {bytes(0), QStringLiteral("0.0%"), QStringLiteral("Some.Magnet, Метаданные, 0.0%")},
         {}},
        {"metadata, nothing wanted",
         nothingWanted,
         {bytes(3000), QStringLiteral("Архив"), QStringLiteral("Backup, Файлы не выбраны, 100%")},
         {}},
        {"finished torrent rechecked",
         recheck,
         {QStringLiteral("25%"), QStringLiteral("Скорость: —, Осталось: —")},
         {QStringLiteral("Готово")}},
        {"queued",
         queued,
         {QStringLiteral("Приостановить загрузку"), QStringLiteral("Документ"),
          QStringLiteral("Открыть")},
         {}},
        {"missing files, paused by hand",
         missing,
         {QStringLiteral("Перезапустить загрузку"), QStringLiteral("Музыка")},
         {}},
        {"one byte per second", slow, {QStringLiteral("↓ ") + bytes(1) + QStringLiteral("/с")}, {}},
        {"no rate",
         record("downloading", "Clip.mkv"),
         {QStringLiteral("42%")},
         {QStringLiteral("↓ ") + bytes(0) + QStringLiteral("/с")}},
    };
    Shown<TorrentGridView> grid({record("downloading", "Clip.mkv")});
    LibraryItemView& v = grid.view;
    const std::string id = record("", "").id;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        grid.set(c.torrent);
        for (const QString& name : c.names)
            EXPECT_TRUE(test::hasAccessible(v, id, name)) << name.toStdString();
        for (const QString& name : c.absent)
            EXPECT_FALSE(test::hasAccessible(v, id, name)) << name.toStdString();
    }
    grid.set(queued);
    EXPECT_EQ(test::accessibleNamed(v, id, QStringLiteral("Приостановить загрузку")).description,
              QStringLiteral("Пауза"));
    grid.set(missing);
    EXPECT_EQ(test::accessibleNamed(v, id, QStringLiteral("Перезапустить загрузку")).description,
              QStringLiteral("Перезапустить"));
}

// A card is as tall as what it shows: the buttons of a checking card, whose
// metrics take one line or two by its width, lie inside it, on every width.
TEST_F(LibraryItemsTest, CardHeightsHoldTheirButtons) {
    TorrentStatus checking = record("checking", "A.Long.Name.Of.A.Show.S01E02.1080p.mkv");
    checking.progress = 0.4;
    checking.checkingRate = 123456789;
    const std::string id = record("", "").id;
    for (int width : {480, 900, 1400}) {
        for (const TorrentStatus& t : {checking, record("downloading", "Clip.mkv")}) {
            SCOPED_TRACE(std::to_string(width) + " " + t.state);
            Shown<TorrentGridView> grid({t}, nullptr, {width, 700});
            const QRect card = grid.view.visualRect(grid.model.index(0, 0));
            const QRect pause =
                test::accessibleNamed(grid.view, id, QStringLiteral("Приостановить загрузку")).rect;
            ASSERT_FALSE(pause.isEmpty());
            EXPECT_TRUE(card.contains(pause)) << card.height() << " " << pause.bottom();
            EXPECT_LE(card.bottom() - pause.bottom(), TorrentCard::kPadding + 1);
        }
    }
}

// Cards that come while the grid is minimized are laid out at their heights
// once it is restored, and a card that changed then keeps its buttons inside.
TEST_F(LibraryItemsTest, CardsAddedWhileMinimizedAreLaidOutOnRestore) {
    TorrentStatus plain = record("downloading", "Clip.mkv");
    Shown<TorrentGridView> grid({plain}, nullptr, {480, 700});
    grid.view.showMinimized();
    QApplication::processEvents();
    TorrentStatus checking = record("checking", "A.Long.Name.Of.A.Show.S01E02.1080p.mkv");
    checking.id = "1123456789abcdef0123456789abcdef01234567";
    checking.progress = 0.4;
    checking.checkingRate = 123456789;
    grid.model.setTorrents({checking, plain});
    QApplication::processEvents();
    grid.view.showNormal();
    QApplication::processEvents();
    for (const TorrentStatus& t : {checking, plain}) {
        SCOPED_TRACE(t.state);
        const QRect card = grid.view.visualRect(grid.model.indexOf(t.id));
        const QRect pause =
            test::accessibleNamed(grid.view, t.id, QStringLiteral("Приостановить загрузку")).rect;
        ASSERT_FALSE(pause.isEmpty());
        EXPECT_TRUE(card.contains(pause)) << card.height() << " " << pause.bottom();
    }
}

TEST_F(LibraryItemsTest, CardSelectionHoverAndClicks) {
    const TorrentStatus movie = record("downloading", "Movie.2010.mkv");
    Shown<TorrentGridView> grid({movie});
    LibraryItemView& v = grid.view;
    const QRect card = v.visualRect(grid.model.index(0));
    const QPoint edge(card.center().x(), card.bottom());
    const QColor line = LibraryStyle::line();
    const QColor hairline = QColor::fromRgbF(
        line.redF() * line.alphaF(), line.greenF() * line.alphaF(), line.blueF() * line.alphaF());
    EXPECT_TRUE(test::near(test::render(*v.viewport()).pixelColor(edge), hairline, 8));
    grid.model.setSelection({movie.id});
    const QImage selected = test::render(*v.viewport());
    EXPECT_TRUE(test::near(selected.pixelColor(edge), LibraryStyle::accent(), 40));
    const QString label = QStringLiteral("Movie, Загрузка, 42%");
    EXPECT_TRUE(test::accessibleNamed(v, movie.id, label).selected);
    EXPECT_TRUE(test::accessibleItem(v, movie.id)->state().selected);

    QSignalSpy select(&v, &LibraryItemView::selectRequested);
    QSignalSpy play(&v, &LibraryItemView::playRequested);
    QSignalSpy details(&v, &LibraryItemView::detailsRequested);
    click(v, test::accessibleNamed(v, movie.id, label).rect);
    click(v, test::accessibleNamed(v, movie.id, QStringLiteral("Movie")).rect, Qt::ControlModifier);
    click(v, test::accessibleNamed(v, movie.id, QStringLiteral("Смотреть")).rect);
    click(v, test::accessibleNamed(v, movie.id, QStringLiteral("Файлы и сведения")).rect);
    ASSERT_EQ(select.count(), 2);
    EXPECT_EQ(select[1][1].value<Qt::KeyboardModifiers>(), Qt::ControlModifier);
    EXPECT_EQ(play.count(), 1);
    EXPECT_EQ(details.count(), 1);
}

TEST_F(LibraryItemsTest, RowStatusNumbersAndMenu) {
    TorrentStatus failed = record("downloading", "Show.S01E02.720p.mkv");
    failed.error = "Нет места на диске";
    Shown<TorrentRowView> list({failed});
    LibraryItemView& v = list.view;
    const std::string id = failed.id;
    EXPECT_EQ(test::accessibleNamed(v, id, QStringLiteral("Ошибка")).value,
              LibraryStyle::red().name());
    EXPECT_TRUE(test::hasAccessible(v, id, QStringLiteral("Выбрать Show")));
    EXPECT_TRUE(test::hasAccessible(v, id, QStringLiteral("· ") + bytes(1000)));
    EXPECT_TRUE(test::hasAccessible(v, id, QStringLiteral("—"))); // paused download at rate 0
    failed.error.clear();
    list.set(failed);
    EXPECT_EQ(test::accessibleNamed(v, id, QStringLiteral("Загрузка")).value,
              LibraryStyle::accent().name());

    TorrentStatus checking = record("checking", "Show.S01E02.720p.mkv");
    checking.progress = 0.5;
    list.set(checking);
    EXPECT_TRUE(test::hasAccessible(v, id, QStringLiteral("50%")));
    EXPECT_TRUE(test::hasAccessible(v, id, QStringLiteral("Осталось: —")));
    checking.state = "seeding";
    checking.seeding = checking.finished = true;
    checking.wantedDone = checking.wanted;
    list.set(checking);
    EXPECT_FALSE(test::hasAccessible(v, id, QStringLiteral("Осталось: —")));
    EXPECT_TRUE(test::hasAccessible(v, id, QStringLiteral("Готово")));

    // The menu offers the resume wording and the details; either calls back.
    TorrentStatus missing = record("missing", "Album.flac");
    missing.paused = true;
    missing.autoManaged = false;
    list.set(missing);
    QSignalSpy pause(&v, &LibraryItemView::pauseRequested);
    const auto menuButton = test::accessibleNamed(v, id, QStringLiteral("Действия с торрентом"));
    EXPECT_EQ(menuButton.role, QAccessible::ButtonMenu);
    click(v, menuButton.rect);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Перезапустить"));
    EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("Файлы и сведения"));
    menu->actions()[0]->trigger();
    menu->close();
    EXPECT_EQ(pause.count(), 1);
    EXPECT_EQ(test::accessibleNamed(v, id, QStringLiteral("Открыть")).description,
              QStringLiteral("Открыть"));
}

// Every action of an item, by key on the current item and by its accessible
// press action, reaches the same signals as the pointer.
TEST_F(LibraryItemsTest, KeysAndAccessibleActionsOfTheCurrentItem) {
    TorrentStatus a = record("downloading", "First.Film.2001.mkv");
    TorrentStatus b = record("downloading", "Second.Film.2002.mkv");
    b.id = "1123456789abcdef0123456789abcdef01234567";
    Shown<TorrentGridView> grid({a, b});
    LibraryItemView& v = grid.view;
    v.activateWindow();
    v.setFocus();
    ASSERT_TRUE(test::waitUntil([&] { return v.hasFocus(); }));
    v.setCurrentIndex(grid.model.index(0));
    QTest::keyClick(&v, Qt::Key_Right);
    ASSERT_EQ(v.currentIndex().row(), 1);
    EXPECT_TRUE(test::accessibleItem(v, b.id)->state().focused);
    EXPECT_FALSE(test::accessibleItem(v, a.id)->state().focused);

    QSignalSpy select(&v, &LibraryItemView::selectRequested);
    QSignalSpy play(&v, &LibraryItemView::playRequested);
    QSignalSpy pause(&v, &LibraryItemView::pauseRequested);
    QSignalSpy details(&v, &LibraryItemView::detailsRequested);
    QSignalSpy menu(&v, &LibraryItemView::contextMenuRequested);
    struct Key {
        int key;
        Qt::KeyboardModifiers modifiers;
        QSignalSpy* spy;
    } keys[] = {{Qt::Key_Space, Qt::NoModifier, &select},
                {Qt::Key_Space, Qt::ShiftModifier, &select},
                {Qt::Key_Return, Qt::NoModifier, &play},
                {Qt::Key_P, Qt::ControlModifier, &pause},
                {Qt::Key_Return, Qt::ControlModifier, &details},
                {Qt::Key_Menu, Qt::NoModifier, &menu},
                {Qt::Key_F10, Qt::ShiftModifier, &menu}};
    for (const Key& k : keys) {
        const int before = k.spy->count();
        QTest::keyClick(&v, Qt::Key(k.key), k.modifiers);
        ASSERT_EQ(k.spy->count(), before + 1)
            << QKeySequence(k.key | k.modifiers).toString().toStdString();
        EXPECT_EQ(k.spy->last().at(0).toString().toStdString(), b.id);
    }
    EXPECT_EQ(select[1][1].value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);

    // The same through the accessible tree: the children's press actions.
    struct Press {
        QString name;
        QSignalSpy* spy;
    } presses[] = {{QStringLiteral("Смотреть"), &play},
                   {QStringLiteral("Приостановить загрузку"), &pause},
                   {QStringLiteral("Файлы и сведения"), &details},
                   {QStringLiteral("First Film"), &select}};
    for (const Press& p : presses) {
        const int before = p.spy->count();
        EXPECT_TRUE(test::pressAccessible(v, a.id, p.name)) << p.name.toStdString();
        ASSERT_EQ(p.spy->count(), before + 1) << p.name.toStdString();
        EXPECT_EQ(p.spy->last().at(0).toString().toStdString(), a.id);
    }
    EXPECT_FALSE(test::pressAccessible(v, a.id, bytes(1000))); // a text, not a button
    QAccessibleActionInterface* item = test::accessibleItem(v, a.id)->actionInterface();
    ASSERT_NE(item, nullptr);
    item->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_EQ(menu.last().at(0).toString().toStdString(), a.id);
}

TEST_F(LibraryItemsTest, FeaturedEyebrowProgressLineAndButtons) {
    FeaturedTorrent featured;
    featured.resize(900, 240);
    auto text = [&](const char* name) {
        return featured.findChild<QWidget*>(QString::fromLatin1(name))->property("text").toString();
    };
    TorrentStatus recheck = record("checking", "The.Long.Road.S02E05.720p.mkv");
    recheck.finished = true;
    recheck.progress = 0.3;
    featured.setTorrent(recheck);
    EXPECT_EQ(text("featured.eyebrow"), QStringLiteral("ПРОВЕРКА ФАЙЛОВ"));
    EXPECT_FALSE(
        featured.findChild<QWidget*>(QStringLiteral("torrent.checkingMetrics"))->isHidden());
    recheck.state = "finished";
    featured.setTorrent(recheck);
    EXPECT_EQ(text("featured.eyebrow"), QStringLiteral("В ВАШЕЙ МЕДИАТЕКЕ"));
    EXPECT_TRUE(
        featured.findChild<QWidget*>(QStringLiteral("torrent.checkingMetrics"))->isHidden());

    TorrentStatus paused = record("downloading", "Jazz.Collection.flac");
    paused.paused = true;
    paused.autoManaged = false;
    featured.setTorrent(paused);
    EXPECT_EQ(text("featured.eyebrow"), QStringLiteral("СЕЙЧАС В ЗАГРУЗКЕ"));
    EXPECT_EQ(text("featured.progressText"), QStringLiteral("42% · Пауза"));
    EXPECT_EQ(text("featured.caption"), QStringLiteral("Музыка"));
    auto* play = featured.findChild<QPushButton*>(QStringLiteral("featured.play"));
    EXPECT_EQ(play->text(), QStringLiteral("Открыть"));
    QSignalSpy plays(&featured, &FeaturedTorrent::playRequested);
    QSignalSpy details(&featured, &FeaturedTorrent::detailsRequested);
    featured.show();
    QTest::mouseClick(play, Qt::LeftButton);
    QTest::mouseClick(featured.findChild<QPushButton*>(QStringLiteral("featured.details")),
                      Qt::LeftButton);
    EXPECT_EQ(plays.count(), 1);
    EXPECT_EQ(details.count(), 1);
}

} // namespace
} // namespace tevro
