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
#include "tevro/library/torrent_list_row.h"

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

void click(QWidget& widget, const QRect& rect) {
    QTest::mouseClick(&widget, Qt::LeftButton, {}, rect.center());
}

class LibraryItemsTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureWidgetsApp(); }
};

TEST_F(LibraryItemsTest, CardReadsBackRealEngineRecordsAsTheyChange) {
    test::LibraryEngine engine;
    const auto made = engine.make("Northern.Lights.2019.1080p",
                                  {{"Northern.Lights.2019.1080p/movie.mkv", 256 * 1024}}, 7);
    const TorrentStatus seeding = engine.addSeeding(made);
    TorrentCard card(nullptr, &engine.engine());
    card.resize(260, card.heightForWidth(260));
    card.setTorrent(seeding);
    card.show();

    EXPECT_EQ(test::accessibleNamed(card, QStringLiteral("Northern Lights, Раздача, 100%")).role,
              QAccessible::Button);
    EXPECT_TRUE(test::hasAccessible(card, QStringLiteral("2019 · 1080p")));
    EXPECT_TRUE(test::hasAccessible(card, QStringLiteral("1080p"))); // quality tag
    EXPECT_TRUE(test::hasAccessible(card, bytes(256 * 1024)));
    EXPECT_TRUE(test::hasAccessible(card, QStringLiteral("Готово")));
    EXPECT_TRUE(test::hasAccessible(card, QStringLiteral("Смотреть")));
    const auto badge = test::accessibleNamed(card, QStringLiteral("Раздача"));
    EXPECT_EQ(badge.value, LibraryStyle::mint().name());
    const auto pause = test::accessibleNamed(card, QStringLiteral("Приостановить загрузку"));
    EXPECT_EQ(pause.description, QStringLiteral("Пауза"));
    EXPECT_EQ(pause.value, QStringLiteral("pause.circle"));
    // The piece map arrives from the engine: the bar under the picture turns into pieces.
    ASSERT_TRUE(
        test::waitUntil([&] { return test::hasAccessible(card, QStringLiteral("Части файла")); }));
    EXPECT_EQ(test::accessibleNamed(card, QStringLiteral("Части файла")).value,
              QStringLiteral("Скачано: 4"));

    // Paused by hand: the engine's next record offers to resume.
    QSignalSpy pauses(&card, &TorrentCard::pauseRequested);
    click(card, pause.rect);
    ASSERT_EQ(pauses.count(), 1);
    engine.engine().pause({seeding.id});
    const TorrentStatus paused =
        engine.waitFor(seeding.id, [](const TorrentStatus& t) { return t.paused; });
    card.setTorrent(paused);
    const auto resume = test::accessibleNamed(card, QStringLiteral("Возобновить загрузку"));
    EXPECT_EQ(resume.description, QStringLiteral("Возобновить"));
    EXPECT_EQ(resume.value, QStringLiteral("arrow.down.circle"));
    EXPECT_TRUE(test::hasAccessible(card, QStringLiteral("Northern Lights, Готово, 100%")));
}

TEST_F(LibraryItemsTest, DownloadingCardShowsPercentAndRate) {
    test::LibraryEngine engine;
    const auto made = engine.make("Garden.Timelapse.2020.1080p.mkv",
                                  {{"Garden.Timelapse.2020.1080p.mkv", 8 << 20}}, 8);
    const TorrentStatus downloading = engine.addDownloading(made);
    TorrentCard card;
    card.resize(260, card.heightForWidth(260));
    card.setTorrent(downloading);
    const QString percent = QString::fromStdString(Format::percent(downloading.displayProgress()));
    EXPECT_TRUE(
        test::hasAccessible(card, QStringLiteral("Garden Timelapse, Загрузка, ") + percent));
    EXPECT_TRUE(test::hasAccessible(card, percent));
    EXPECT_TRUE(test::hasAccessible(card, QStringLiteral("2020 · 1080p")));
    EXPECT_TRUE(test::hasAccessible(card, QStringLiteral("Смотреть")));
    const auto badge = test::accessibleNamed(card, QStringLiteral("Загрузка"));
    EXPECT_EQ(badge.value, QColor(Qt::white).name());
    if (downloading.downloadRate >= 1) {
        EXPECT_TRUE(test::hasAccessible(
            card, QStringLiteral("↓ ") + bytes(downloading.downloadRate) + QStringLiteral("/с")));
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
    TorrentCard card;
    card.resize(260, 400);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        card.setTorrent(c.torrent);
        for (const QString& name : c.names)
            EXPECT_TRUE(test::hasAccessible(card, name)) << name.toStdString();
        for (const QString& name : c.absent)
            EXPECT_FALSE(test::hasAccessible(card, name)) << name.toStdString();
    }
    card.setTorrent(queued);
    EXPECT_EQ(test::accessibleNamed(card, QStringLiteral("Приостановить загрузку")).description,
              QStringLiteral("Пауза"));
    card.setTorrent(missing);
    EXPECT_EQ(test::accessibleNamed(card, QStringLiteral("Перезапустить загрузку")).description,
              QStringLiteral("Перезапустить"));
}

TEST_F(LibraryItemsTest, CardSelectionHoverAndClicks) {
    TorrentCard card;
    card.setTorrent(record("downloading", "Movie.2010.mkv"));
    card.resize(260, card.heightForWidth(260));
    const QPoint edge(card.width() / 2, card.height() - 1);
    const QColor line = LibraryStyle::line();
    const QColor hairline = QColor::fromRgbF(
        line.redF() * line.alphaF(), line.greenF() * line.alphaF(), line.blueF() * line.alphaF());
    EXPECT_TRUE(test::near(test::render(card).pixelColor(edge), hairline, 8));
    card.setSelected(true);
    const QImage selected = test::render(card);
    EXPECT_TRUE(test::near(selected.pixelColor(edge), LibraryStyle::accent(), 40));
    EXPECT_TRUE(test::accessibleNamed(card, QStringLiteral("Movie, Загрузка, 42%")).selected);

    QSignalSpy select(&card, &TorrentCard::selectRequested);
    QSignalSpy play(&card, &TorrentCard::playRequested);
    QSignalSpy details(&card, &TorrentCard::detailsRequested);
    click(card, test::accessibleNamed(card, QStringLiteral("Movie, Загрузка, 42%")).rect);
    click(card, test::accessibleNamed(card, QStringLiteral("Movie")).rect);
    click(card, test::accessibleNamed(card, QStringLiteral("Смотреть")).rect);
    click(card, test::accessibleNamed(card, QStringLiteral("Файлы и сведения")).rect);
    EXPECT_EQ(select.count(), 2);
    EXPECT_EQ(play.count(), 1);
    EXPECT_EQ(details.count(), 1);
}

TEST_F(LibraryItemsTest, RowStatusNumbersAndMenu) {
    TorrentListRow row;
    row.resize(820, int(TorrentListRow::kHeight));
    TorrentStatus failed = record("downloading", "Show.S01E02.720p.mkv");
    failed.error = "Нет места на диске";
    row.setTorrent(failed);
    EXPECT_EQ(test::accessibleNamed(row, QStringLiteral("Ошибка")).value,
              LibraryStyle::red().name());
    EXPECT_TRUE(test::hasAccessible(row, QStringLiteral("Выбрать Show")));
    EXPECT_TRUE(test::hasAccessible(row, QStringLiteral("· ") + bytes(1000)));
    EXPECT_TRUE(test::hasAccessible(row, QStringLiteral("—"))); // paused download at rate 0
    failed.error.clear();
    row.setTorrent(failed);
    EXPECT_EQ(test::accessibleNamed(row, QStringLiteral("Загрузка")).value,
              LibraryStyle::accent().name());

    TorrentStatus checking = record("checking", "Show.S01E02.720p.mkv");
    checking.progress = 0.5;
    row.setTorrent(checking);
    EXPECT_TRUE(test::hasAccessible(row, QStringLiteral("50%")));
    EXPECT_TRUE(test::hasAccessible(row, QStringLiteral("Осталось: —")));
    checking.state = "seeding";
    checking.seeding = checking.finished = true;
    checking.wantedDone = checking.wanted;
    row.setTorrent(checking);
    EXPECT_FALSE(test::hasAccessible(row, QStringLiteral("Осталось: —")));
    EXPECT_TRUE(test::hasAccessible(row, QStringLiteral("Готово")));

    // The menu offers the resume wording and the details; either calls back.
    TorrentStatus missing = record("missing", "Album.flac");
    missing.paused = true;
    missing.autoManaged = false;
    row.setTorrent(missing);
    row.show();
    QSignalSpy pause(&row, &TorrentListRow::pauseRequested);
    click(row, test::accessibleNamed(row, QStringLiteral("Действия с торрентом")).rect);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Перезапустить"));
    EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("Файлы и сведения"));
    menu->actions()[0]->trigger();
    menu->close();
    EXPECT_EQ(pause.count(), 1);
    EXPECT_EQ(test::accessibleNamed(row, QStringLiteral("Открыть")).description,
              QStringLiteral("Открыть"));
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
