// The peers and trackers tabs against loopback seeders and a loopback tracker,
// and the limits sheet against the engine.

#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>

#include "tests/support/qt_app.h"
#include "tests/torrent/loopback_tracker.h"
#include "tests/torrent/views_fixture.h"
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
    EXPECT_EQ(TrackersModel::color("error"), TrackersModel::color("error"));
    EXPECT_NE(TrackersModel::color("working"), TrackersModel::color("bogus"));
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
    sheet->setText("\n  " + QString::fromStdString(tracker.url("/second")) + "  \n\n");
    ASSERT_TRUE(sheet->canAdd());
    for (auto* b : sheet->findChildren<QPushButton*>())
        if (b->text() == "Добавить")
            QTest::mouseClick(b, Qt::LeftButton);
    ASSERT_TRUE(test::waitUntil([&] { return row(tracker.url("/second")) != nullptr; }, 30s));
    EXPECT_TRUE(view.summary().endsWith(" из 2")) << view.summary().toStdString();

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
