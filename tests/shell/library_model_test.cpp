#include "tevro/shell/library_model.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "tests/shell/shell_fixture.h"

using namespace tevro;

namespace {

std::vector<TorrentStatus> rows(const std::string& ids) {
    std::vector<TorrentStatus> out;
    for (char c : ids) {
        TorrentStatus t;
        t.id = std::string(1, c);
        t.name = t.id;
        out.push_back(t);
    }
    return out;
}

std::string ids(const LibraryModel& model) {
    std::string out;
    for (int r = 0; r < model.rowCount(); ++r)
        out += model.data(model.index(r, 0), LibraryModel::IdRole).toString().toStdString();
    return out;
}

// Torrents that come and go insert and remove their rows alone: the rows
// that stay keep their indexes (a selection in the table, its scroll place)
// and only a new order of them resets the model.
TEST(LibraryModel, RowsComeAndGoWithoutAReset) {
    test::ensureWidgetsApp();
    LibraryModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setTorrents(rows("bdf"));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QPersistentModelIndex d(model.index(1, 0));

    struct Step {
        std::string to;
        int inserts, removes;
        bool reset;
    } steps[] = {
        {"abdf", 1, 0, false},    // a new one on top, as an add comes
        {"abcdefg", 3, 0, false}, // c, e, and g: one insertion each
        {"bdf", 0, 4, false},     // a, c, e and g: one removal each
        {"xyz", 1, 1, false},     // none stays: one run out, one run in
        {"zyx", 0, 0, true},      // the same rows in a new order
        {"", 0, 1, false},
    };
    for (const Step& s : steps) {
        resets.clear();
        inserted.clear();
        removed.clear();
        model.setTorrents(rows(s.to));
        EXPECT_EQ(ids(model), s.to);
        EXPECT_EQ(resets.count(), s.reset ? 1 : 0) << s.to;
        EXPECT_EQ(removed.count(), s.removes) << s.to;
        EXPECT_EQ(inserted.count(), s.inserts) << s.to;
        if (s.to.find('d') != std::string::npos) {
            ASSERT_TRUE(d.isValid()) << s.to;
            EXPECT_EQ(model.data(d, LibraryModel::IdRole).toString(), "d") << s.to;
        }
    }
}

// A changed row with the same ids redraws that row alone.
TEST(LibraryModel, AChangedTorrentChangesItsRowOnly) {
    test::ensureWidgetsApp();
    LibraryModel model;
    model.setTorrents(rows("abc"));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    auto next = rows("abc");
    next[1].progress = 0.5;
    next.insert(next.begin(), rows("n").front());
    model.setTorrents(next);
    EXPECT_EQ(ids(model), "nabc");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>().row(), 2);
}

// A change given by row numbers touches only its rows: the others keep their
// data and indexes; a torrent moved past rows that stay still resets.
TEST(LibraryModel, AChangeByRowsTouchesOnlyItsRows) {
    test::ensureWidgetsApp();
    struct Case {
        const char* from;
        const char* to;
        ListChange change;
        bool reset;
        int inserts, removes, changes;
    } cases[] = {
        // n on top, c out of the middle, b's values new in place
        {"abcd", "nabd", {{2}, {0}, {2}}, false, 1, 1, 1},
        // b moved to where it stood among the rows that stay: an update
        {"abcd", "abcd", {{1}, {1}, {}}, false, 0, 0, 1},
        // b moved past c
        {"abcd", "acbd", {{1}, {2}, {}}, true, 0, 0, 0},
    };
    for (const Case& c : cases) {
        LibraryModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        model.setTorrents(rows(c.from));
        QPersistentModelIndex d(model.index(3, 0));
        auto next = rows(c.to);
        for (auto& t : next)
            if (t.id == "b")
                t.progress = 0.5;
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setTorrents(next, &c.change);
        EXPECT_EQ(ids(model), c.to) << c.to;
        EXPECT_EQ(resets.count(), c.reset ? 1 : 0) << c.to;
        EXPECT_EQ(inserted.count(), c.inserts) << c.to;
        EXPECT_EQ(removed.count(), c.removes) << c.to;
        if (!c.reset) {
            EXPECT_EQ(changed.count(), c.changes) << c.to;
            ASSERT_TRUE(d.isValid()) << c.to;
            EXPECT_EQ(model.data(d, LibraryModel::IdRole).toString(), "d") << c.to;
        }
        EXPECT_EQ(model.status(model.rowOf("b"))->progress, 0.5) << c.to;
    }
}

} // namespace
