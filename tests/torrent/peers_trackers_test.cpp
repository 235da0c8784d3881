// The peers and trackers tabs against loopback seeders and a loopback tracker,
// the trackers sheet's keys, and the limits sheet against the engine.

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTextCursor>

#include "tests/support/qt_app.h"
#include "tests/torrent/loopback_tracker.h"
#include "tests/torrent/views_fixture.h"
#include "tevro/bridge/torrent_bridge.h"
#include "tevro/core/format.h"
#include "tevro/torrent/add_trackers_sheet.h"
#include "tevro/torrent/limits_sheet.h"
#include "tevro/torrent/peers_model.h"
#include "tevro/torrent/peers_view.h"
#include "tevro/torrent/trackers_model.h"
#include "tevro/torrent/trackers_view.h"

using namespace tevro;
using namespace std::chrono_literals;

namespace {

class PeersTrackers : public test::ViewsTest {};

PeerInfo peer(std::string ip, int port) {
    PeerInfo p;
    p.ip = std::move(ip);
    p.port = port;
    return p;
}

} // namespace

TEST(PeersModelText, AddressesFlagsAndRates) {
    // IPv6 addresses are bracketed so "address:port" can be read back.
    EXPECT_EQ(PeersModel::address(peer("127.0.0.1", 6881)), "127.0.0.1:6881");
    EXPECT_EQ(PeersModel::address(peer("::1", 6881)), "[::1]:6881");
    EXPECT_EQ(PeersModel::address(peer("2001:db8::7", 51413)), "[2001:db8::7]:51413");

    struct Case {
        const char* letters;
        const char* shown;
        const char* help;
    };
    for (const Case& c : {Case{"EUS", "🔒 μ S", "Шифрование, uTP, Сид"},
                          Case{"XI", "X ↙", "Входящее"}, Case{"", "", ""}}) {
        EXPECT_EQ(PeersModel::flags(c.letters), QString::fromUtf8(c.shown)) << c.letters;
        EXPECT_EQ(PeersModel::flagsHelp(c.letters), QString::fromUtf8(c.help)) << c.letters;
    }
    EXPECT_EQ(PeersModel::rate(0), "—");
    EXPECT_EQ(PeersModel::rate(2048), QString::fromStdString(Format::bytes(2048)) + "/с");
}

TEST(TrackersModelText, StatusWordsCountsAndSummary) {
    TrackerInfo t;
    t.status = "error";
    EXPECT_EQ(TrackersModel::statusText(t), "Ошибка");
    t.message = "timed out";
    EXPECT_EQ(TrackersModel::statusText(t), "timed out");
    // Each status word has its own dot: green, blue, red, yellow, and grey for the rest.
    struct {
        const char* status;
        int hue; // -1: grey
    } dots[] = {
        {"working", 135}, {"updating", 210}, {"error", 3}, {"contacted", 50}, {"bogus", -1}};
    for (const auto& d : dots) {
        QColor c = TrackersModel::color(d.status);
        if (d.hue < 0)
            EXPECT_LT(c.hsvSaturation(), 40) << d.status;
        else
            EXPECT_NEAR(c.hsvHue(), d.hue, 12) << d.status;
    }
    t.status = "bogus";
    EXPECT_EQ(TrackersModel::statusText(t), "Не опрошен");
    EXPECT_EQ(TrackersModel::count(-1), "—");
    EXPECT_EQ(TrackersModel::count(0), "0");

    TrackersModel model;
    EXPECT_EQ(model.summary(), "Работают: 0 из 0");
    TrackerInfo a, b;
    a.url = "http://a";
    a.status = "working";
    a.mirror = a.extra = true;
    a.nextAnnounce = -1;
    b.url = "http://b";
    model.setTrackers({a, b});
    EXPECT_EQ(model.summary(), "Работают: 1 из 2");
    EXPECT_EQ(model.data(model.index(0, TrackersModel::addressColumn)).toString(),
              "http://a  зеркало  доп.");
    EXPECT_EQ(model.data(model.index(0, TrackersModel::announceColumn)).toString(), "—");
}

// Two peers whose rates change on every refresh: the sorted order holds and
// rows are updated, not replaced.
TEST(PeersModelUpdates, SortingHoldsWhileRowsUpdate) {
    test::ensureWidgetApp();
    PeersModel model;
    QSortFilterProxyModel sorted;
    sorted.setSourceModel(&model);
    sorted.setSortRole(PeersModel::SortRole);
    sorted.setDynamicSortFilter(true);
    sorted.sort(PeersModel::downloadColumn, Qt::DescendingOrder);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    PeerInfo a = peer("10.0.0.1", 1), b = peer("10.0.0.2", 2);
    for (int round = 0; round < 6; ++round) {
        a.downloadRate = round % 2 ? 100 : 900;
        b.downloadRate = 500;
        model.setPeers({a, b});
        QString first = sorted.index(0, 0).data().toString();
        EXPECT_EQ(first, round % 2 ? "10.0.0.2:2" : "10.0.0.1:1") << round;
    }
    EXPECT_EQ(removed.count(), 0);
    model.setPeers({b});
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(sorted.rowCount(), 1);
}

TEST_F(PeersTrackers, PeersTabListsLoopbackSeedersWithMovingRatesAndKeepsItsOrder) {
    auto t = makeTorrent("Big", {{"big.bin", 6 << 20}});
    std::string id = addSeeded(t, false);
    seeder->setUploadLimit(300000);

    PeersView view(engine());
    view.resize(800, 300);
    view.setTorrentID(QString::fromStdString(id));
    view.show();
    // Sort by address, ascending, as a header click would.
    view.table()->sortByColumn(PeersModel::addressColumn, Qt::AscendingOrder);
    QSignalSpy rowsMoved(view.sorted(), &QAbstractItemModel::layoutChanged);

    std::set<std::int64_t> rates;
    auto sortedByAddress = [&] {
        QStringList keys;
        for (int r = 0; r < view.sorted()->rowCount(); ++r)
            keys << view.sorted()->index(r, 0).data(PeersModel::SortRole).toString();
        QStringList expected = keys;
        std::ranges::sort(expected);
        return keys == expected;
    };
    bool ordered = true;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            seeder->connect(t, port);
            for (const PeerInfo& p : view.model()->peers())
                rates.insert(p.downloadRate);
            ordered = ordered && sortedByAddress();
            return view.model()->rowCount() >= 1 && rates.size() >= 3;
        },
        60s));
    EXPECT_TRUE(ordered);
    for (const PeerInfo& p : view.model()->peers())
        EXPECT_EQ(p.ip, "127.0.0.1");
    EXPECT_EQ(view.sorted()->index(0, PeersModel::addressColumn).data().toString().count(':'), 1);
}

TEST_F(PeersTrackers, TrackersTabAddsAndReannouncesAgainstALoopbackTracker) {
    test::LoopbackTracker tracker;
    auto t = makeTorrent("Tracked", {{"t.mkv", 50000}}, 3, {tracker.url("/announce")}, true);
    std::string id = addSeeded(t, false);
    TrackersView view(engine());
    view.resize(800, 300);
    view.setTorrentID(QString::fromStdString(id));
    view.show();
    auto row = [&](const std::string& url) -> const TrackerInfo* {
        for (const TrackerInfo& i : view.model()->trackers())
            if (i.url == url)
                return &i;
        return nullptr;
    };
    ASSERT_TRUE(test::waitUntil(
        [&] { return row(tracker.url("/announce")) && tracker.announces("/announce") > 0; }, 30s));
    EXPECT_TRUE(view.summary().endsWith(" из 1")) << view.summary().toStdString();

    int before = tracker.announces("/announce");
    view.reannounce();
    EXPECT_TRUE(test::waitUntil([&] { return tracker.announces("/announce") > before; }, 20s));

    // The add sheet: blank text keeps "Добавить" off; the text goes as typed.
    AddTrackersSheet* sheet = view.showAddSheet();
    sheet->setText("  \n\n ");
    EXPECT_FALSE(sheet->canAdd());
    // Return does nothing while there is nothing to add; Shift+Return starts a
    // line, Return adds them all.
    auto* editor = sheet->findChild<QPlainTextEdit*>();
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(sheet->isVisible());
    sheet->setText("\n  " + QString::fromStdString(tracker.url("/second")) + "  ");
    editor->moveCursor(QTextCursor::End);
    QTest::keyClick(editor, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(editor, QString::fromStdString(tracker.url("/third")));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_FALSE(sheet->isVisible());
    ASSERT_TRUE(test::waitUntil(
        [&] { return row(tracker.url("/second")) && row(tracker.url("/third")); }, 30s));
    EXPECT_TRUE(view.summary().endsWith(" из 3")) << view.summary().toStdString();

    // Escape keeps the typed text for the next opening.
    sheet = view.showAddSheet();
    EXPECT_EQ(sheet->text(), "");
    sheet->setText("http://127.0.0.1:1/x");
    QTest::keyClick(sheet, Qt::Key_Escape);
    test::spinFor(50ms);
    sheet = view.showAddSheet();
    EXPECT_EQ(sheet->text(), "http://127.0.0.1:1/x");
    sheet->reject();
}

TEST_F(PeersTrackers, LimitsSheetOpensWithTheTorrentsLimitsAndAppliesThem) {
    auto t = makeTorrent("Limited", {{"l.mkv", 50000}});
    std::string id = addSeeded(t, true);
    {
        LimitsSheet sheet(engine(), QString::fromStdString(id));
        sheet.show();
        EXPECT_EQ(sheet.download(), 0);
        EXPECT_EQ(sheet.connections(), 0);
        EXPECT_EQ(sheet.uploads(), 0);
        sheet.setValues(50, 1000, 30, 4);
        sheet.apply();
        EXPECT_FALSE(sheet.isVisible());
    }
    ASSERT_TRUE(test::waitUntil([&] {
        auto s = engine().torrent(id);
        return s && s->downloadLimit == 51200;
    }));
    auto s = *engine().torrent(id);
    EXPECT_EQ(s.uploadLimit, 1024000);
    EXPECT_EQ(s.connectionsLimit, 30);
    EXPECT_EQ(s.uploadsLimit, 4);

    LimitsSheet again(engine(), QString::fromStdString(id));
    again.show();
    EXPECT_EQ(again.download(), 50);
    EXPECT_EQ(again.upload(), 1000);
    // Escape sends nothing; zeros lift every limit.
    again.setValues(0, 0, 0, 0);
    QTest::keyClick(&again, Qt::Key_Escape);
    test::spinFor(300ms);
    EXPECT_EQ(engine().torrent(id)->downloadLimit, 51200);
    LimitsSheet third(engine(), QString::fromStdString(id));
    third.show();
    third.setValues(0, 0, 0, 0);
    QTest::keyClick(&third, Qt::Key_Return);
    ASSERT_TRUE(test::waitUntil([&] { return engine().torrent(id)->downloadLimit < 1; }));
    auto uploadSlots = engine().torrent(id)->uploadsLimit;
    EXPECT_TRUE(uploadSlots < 1 || uploadSlots >= 16777215) << uploadSlots;
}

// The limits sheet fills itself when it opens, not when a restored window
// shows it again. A field emptied key by key means 0, no limit, not the 1 left
// from erasing "100".
TEST_F(PeersTrackers, LimitsSheetKeepsTypedValuesAndTakesAnEmptiedFieldAsNoLimit) {
    auto t = makeTorrent("Limited", {{"l.mkv", 50000}});
    std::string id = addSeeded(t, true);
    tb_set_limits(engine().session(), id.c_str(), 100 * 1024, 0, 0, 0);
    engine().poll();
    ASSERT_TRUE(test::waitUntil([&] { return engine().torrent(id)->downloadLimit == 102400; }));
    LimitsSheet sheet(engine(), QString::fromStdString(id));
    sheet.show();
    auto field = [&](const QString& name) {
        for (auto* s : sheet.findChildren<QSpinBox*>())
            if (s->accessibleName() == name)
                return s;
        return static_cast<QSpinBox*>(nullptr);
    };
    QSpinBox* download = field("Загрузка, КиБ/с (0 = ∞)");
    QSpinBox* upload = field("Отдача, КиБ/с (0 = ∞)");
    ASSERT_TRUE(download && upload);
    EXPECT_EQ(download->value(), 100);
    upload->selectAll();
    QTest::keyClicks(upload, "300");

    test::minimizeAndRestore(sheet);
    EXPECT_EQ(sheet.upload(), 300);
    EXPECT_EQ(download->text(), "100");

    QTest::keyClick(download, Qt::Key_End);
    for (int k = 0; k < 3; ++k)
        QTest::keyClick(download, Qt::Key_Backspace);
    EXPECT_TRUE(download->text().isEmpty());
    QTest::keyClick(download, Qt::Key_Return);
    EXPECT_FALSE(sheet.isVisible());
    ASSERT_TRUE(test::waitUntil([&] { return engine().torrent(id)->uploadLimit == 300 * 1024; }));
    EXPECT_LT(engine().torrent(id)->downloadLimit, 1);
}
