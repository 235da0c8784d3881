// The add-torrent and magnet sheets against a real engine: every corpus file
// opens or gives the sheet's error text, unchecked files reach libtorrent at
// priority 0 and never appear on disk, duplicates and bad folders, what the
// user typed or chose kept across filters and minimizing, Return to add.

#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include "tests/support/hostile_torrents.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tests/torrent/views_fixture.h"
#include "tevro/media/file_tree.h"
#include "tevro/torrent/add_torrent_sheet.h"
#include "tevro/torrent/file_tree_model.h"
#include "tevro/torrent/magnet_sheet.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

struct CorpusEntry {
    std::string file;
    std::string expected;
};

std::vector<CorpusEntry> corpus() {
    std::vector<CorpusEntry> out;
    std::ifstream in(fs::path(TEVRO_TORRENT_CORPUS) / "MANIFEST.tsv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream cols(line);
        CorpusEntry e;
        if (std::getline(cols, e.file, '\t') && std::getline(cols, e.expected, '\t'))
            out.push_back(e);
    }
    return out;
}

// Counts every node of the model below `parent`.
int countRows(const QAbstractItemModel& m, const QModelIndex& parent = {}) {
    int n = 0;
    for (int r = 0; r < m.rowCount(parent); ++r)
        n += 1 + countRows(m, m.index(r, 0, parent));
    return n;
}

std::unique_ptr<AddTorrentSheet> openSheet(TorrentEngine& engine, const fs::path& file) {
    auto sheet = std::make_unique<AddTorrentSheet>(engine, file);
    sheet->show();
    EXPECT_TRUE(test::waitUntil([&] { return sheet->preview().has_value(); }, 20s)) << file;
    return sheet;
}

QPushButton* button(QWidget* w, const QString& text) {
    for (auto* b : w->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

class AddSheets : public test::ViewsTest {};

} // namespace

TEST_F(AddSheets, EveryCorpusTorrentOpensWithItsTreeOrGivesTheErrorText) {
    auto entries = corpus();
    if (entries.empty())
        GTEST_SKIP() << "no torrent corpus";
    int ok = 0;
    for (const CorpusEntry& e : entries) {
        auto sheet = openSheet(engine(), fs::path(TEVRO_TORRENT_CORPUS) / e.file);
        const TorrentPreview& p = *sheet->preview();
        if (p.error) {
            // Only files libtorrent refuses may fail, with the sheet's own text.
            EXPECT_EQ(e.expected, "error") << e.file;
            EXPECT_FALSE(p.error->empty()) << e.file;
            int shown = 0;
            for (auto* l : sheet->findChildren<QLabel*>())
                if (l->isVisibleTo(sheet.get()) && (l->text() == "Не удалось открыть торрент" ||
                                                    l->text() == QString::fromStdString(*p.error)))
                    ++shown;
            EXPECT_EQ(shown, 2) << e.file;
            EXPECT_FALSE(sheet->treeView()->isVisibleTo(sheet.get()));
            continue;
        }
        if (e.expected == "ok")
            ++ok;
        // The tree holds every non-pad file once, plus its folders.
        std::vector<TorrentFile> files = sheet->files();
        std::size_t real = std::ranges::count_if(files, [](auto& f) { return !f.pad; });
        EXPECT_EQ(static_cast<std::size_t>(countRows(*sheet->model())),
                  FileTree::flatten(FileTree::build(files)).size())
            << e.file;
        std::size_t leaves = 0;
        for (const FileNode& n : FileTree::flatten(sheet->tree()))
            leaves += n.isFolder() ? 0 : 1;
        EXPECT_EQ(leaves, real) << e.file;
        EXPECT_TRUE(sheet->isVisible());
    }
    EXPECT_EQ(ok, 65);
}

TEST_F(AddSheets, HostileFilesOpenTheUnreadablePageWithTheirReason) {
    test::TempDir dir;
    fs::path fifo = dir / "pipe.torrent";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::path folder = dir / "x.torrent";
    fs::create_directory(folder);
    struct Case {
        fs::path file;
        std::string says;
    } cases[] = {
        {fifo, "канал"},
        {folder, "папка"},
        {test::writeTorrent(
             dir, "pad.torrent",
             test::hostileTorrent(test::hostileInfo({{{".pad", "16384"}, 16384, true}}))),
         "нет файлов для загрузки"},
        {test::writeTorrent(dir, "repeated.torrent", test::repeatedPathTorrent(20000)),
         "одинаковым путём"},
    };
    for (const Case& c : cases) {
        auto sheet = openSheet(engine(), c.file);
        ASSERT_TRUE(sheet->preview()) << c.file;
        std::string error = sheet->preview()->error.value_or("");
        EXPECT_NE(error.find(c.says), std::string::npos) << c.file << ": " << error;
        bool shown = false;
        for (auto* l : sheet->findChildren<QLabel*>())
            shown |= l->isVisibleTo(sheet.get()) && l->text() == QString::fromStdString(error);
        EXPECT_TRUE(shown) << c.file;
    }
    // The page as a person meets it: it survives minimize and restore, a
    // screen reader finds the reason, and the keyboard closes it.
    auto sheet = openSheet(engine(), cases[0].file);
    const QString reason = QString::fromStdString(sheet->preview()->error.value_or(""));
    sheet->showMinimized();
    QTest::qWait(50);
    sheet->showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
    bool spoken = false;
    for (auto* l : sheet->findChildren<QLabel*>()) {
        if (!l->isVisibleTo(sheet.get()))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(l);
        spoken |= a && a->text(QAccessible::Name) == reason;
    }
    EXPECT_TRUE(spoken);
    QTest::keyClick(sheet.get(), Qt::Key_Return);
    EXPECT_FALSE(sheet->isVisible()) << "Return closes the page";
    sheet->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
    QTest::keyClick(sheet.get(), Qt::Key_Escape);
    EXPECT_FALSE(sheet->isVisible()) << "Escape closes the page";
    // Let a preview still stuck on the FIFO go.
    int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0)
        ::close(fd);
}

TEST_F(AddSheets, UncheckedFilesGetPriorityZeroAndStayOffDisk) {
    auto t = makeTorrent("Season", test::seasonFiles());
    seeder = std::make_unique<swarm::Seeder>();
    seeder->seed(t);
    auto sheet = openSheet(engine(), t.torrentPath());
    sheet->setSavePath(QString::fromStdString(downloads()));

    // Uncheck the subtitles folder by its check mark and the text file by Space.
    QModelIndex subs = sheet->model()->indexOf("d:/Subs", FileTreeModel::checkColumn);
    ASSERT_TRUE(subs.isValid());
    QTreeView* tree = sheet->treeView();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(subs).center());
    std::string readme;
    for (const FileNode& n : FileTree::flatten(sheet->tree()))
        if (n.name == "readme.txt")
            readme = n.id;
    sheet->setSelection({readme});
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Space);
    EXPECT_EQ(sheet->model()->data(sheet->model()->indexOf("d:/Subs"), FileTreeModel::CheckRole),
              static_cast<int>(CheckState::off));

    QSignalSpy added(sheet.get(), &AddTorrentSheet::added);
    QTest::mouseClick(button(sheet.get(), "Добавить"), Qt::LeftButton);
    // Added off the main thread: "Добавить" is off until the answer.
    EXPECT_TRUE(added.count() == 1 || !button(sheet.get(), "Добавить")->isEnabled());
    ASSERT_TRUE(added.count() == 1 || added.wait(20000));
    ASSERT_EQ(added.count(), 1);
    std::string id = added.at(0).at(0).toString().toStdString();
    EXPECT_FALSE(sheet->isVisible());

    auto files = engineFiles(id);
    int skipped = 0;
    for (const TorrentFile& f : files) {
        if (f.pad)
            continue;
        bool off = f.path.find("/Subs/") != std::string::npos || f.path.ends_with("readme.txt");
        EXPECT_EQ(f.prio, off ? 0 : 4) << f.path;
        skipped += off ? 1 : 0;
    }
    EXPECT_EQ(skipped, 3);
    ASSERT_TRUE(waitConnected({&t}, [&] {
        auto s = engine().torrent(id);
        return s && s->finished;
    }));
    EXPECT_TRUE(fs::exists(fs::path(downloads()) / "Season" / "Show.S01E01.1080p.mkv"));
    EXPECT_FALSE(fs::exists(fs::path(downloads()) / "Season" / "readme.txt"));
    EXPECT_FALSE(fs::exists(fs::path(downloads()) / "Season" / "Subs" / "Show.S01E02.srt"));

    // The same file again: the duplicate message, the existing id, the sheet closes.
    auto again = openSheet(engine(), t.torrentPath());
    QSignalSpy addedAgain(again.get(), &AddTorrentSheet::added);
    again->add();
    ASSERT_TRUE(addedAgain.count() == 1 || addedAgain.wait(20000));
    ASSERT_EQ(addedAgain.count(), 1);
    EXPECT_EQ(addedAgain.at(0).at(0).toString().toStdString(), id);
    EXPECT_EQ(engine().toast(), "Этот торрент уже добавлен");
    EXPECT_FALSE(again->isVisible());
}

TEST_F(AddSheets, FolderWithALineBreakIsRefusedInBothSheets) {
    auto t = makeTorrent("Alpha", {{"Alpha/a.mkv", 20000}});
    auto sheet = openSheet(engine(), t.torrentPath());
    sheet->setSavePath("/tmp/a\nb");
    QSignalSpy added(sheet.get(), &AddTorrentSheet::added);
    sheet->add();
    EXPECT_EQ(added.count(), 0);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->errorText(), "Путь сохранения не может содержать перевод строки");
    EXPECT_TRUE(engine().torrents().empty());

    MagnetSheet magnet(engine(), QString::fromStdString(t.magnet()));
    magnet.show();
    magnet.setSavePath("/tmp/x\r\ny");
    QSignalSpy magnetAdded(&magnet, &MagnetSheet::added);
    magnet.add();
    EXPECT_EQ(magnetAdded.count(), 0);
    EXPECT_TRUE(magnet.isVisible());
    EXPECT_EQ(magnet.errorText(), "Путь сохранения не может содержать перевод строки");
    // A usable folder then goes through with the same link.
    magnet.setSavePath(QString::fromStdString(downloads()));
    magnet.add();
    EXPECT_EQ(magnetAdded.count(), 1);
}

TEST_F(AddSheets, MagnetSheetTrimsTheLinkAndReadsSettings) {
    auto settings = engine().settings();
    settings.addPaused = true;
    engine().setSettings(settings);
    MagnetSheet sheet(engine(), QString());
    sheet.show();
    EXPECT_FALSE(sheet.canAdd());
    EXPECT_FALSE(button(&sheet, "Добавить")->isEnabled());
    sheet.setText("  MAGNET:?xt=urn:btih:abc \n");
    EXPECT_FALSE(button(&sheet, "Добавить")->isEnabled());
    sheet.setText("\n  magnet:?xt=urn:btih:abc  \n");
    EXPECT_TRUE(button(&sheet, "Добавить")->isEnabled());
    EXPECT_EQ(sheet.link(), "magnet:?xt=urn:btih:abc");
    bool startNow = true;
    for (auto* c : sheet.findChildren<QCheckBox*>())
        if (c->text() == "Начать загрузку")
            startNow = c->isChecked();
    EXPECT_FALSE(startNow);
    // A link the bridge refuses keeps the sheet open with its message.
    sheet.setText("magnet:?nonsense");
    sheet.add();
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_FALSE(sheet.errorText().isEmpty());
}

TEST_F(AddSheets, MagnetForALoopbackSeededTorrentGetsItsMetadata) {
    auto t = makeTorrent("Meta", test::seasonFiles());
    seeder = std::make_unique<swarm::Seeder>();
    seeder->seed(t);
    MagnetSheet sheet(engine(), QString::fromStdString(t.magnet()));
    sheet.show();
    sheet.setSavePath(QString::fromStdString(downloads()));
    QSignalSpy added(&sheet, &MagnetSheet::added);
    QTest::mouseClick(button(&sheet, "Добавить"), Qt::LeftButton);
    ASSERT_EQ(added.count(), 1);
    std::string id = added.at(0).at(0).toString().toStdString();
    ASSERT_TRUE(waitConnected({&t}, [&] {
        auto s = engine().torrent(id);
        return s && s->hasMetadata;
    }));
    // "Choose files first" was on: every file waits at priority 0.
    auto files = engineFiles(id);
    EXPECT_EQ(std::ranges::count_if(files, [](auto& f) { return !f.pad; }), 10);
    for (const TorrentFile& f : files)
        EXPECT_EQ(f.prio, 0) << f.path;
}

// Typing in "Фильтр" keeps the selection and the opened folders; rows the
// filter hides come back selected when it is cleared. A click on one row's
// check mark leaves a selection of several rows as it was.
TEST_F(AddSheets, FilterAndCheckMarksKeepTheSelectionAndOpenFolders) {
    auto t = makeTorrent("Season", test::seasonFiles());
    auto sheet = openSheet(engine(), t.torrentPath());
    QTreeView* tree = sheet->treeView();
    FileTreeModel* model = sheet->model();
    tree->setExpanded(model->indexOf("d:/Subs"), true);
    std::string e01, srt;
    for (const FileNode& n : FileTree::flatten(sheet->tree())) {
        if (n.name == "Show.S01E01.1080p.mkv")
            e01 = n.id;
        if (n.name == "Show.S01E01.srt")
            srt = n.id;
    }
    const std::unordered_set<std::string> both{e01, srt};
    sheet->setSelection(both);
    QLineEdit* filter = nullptr;
    for (auto* e : sheet->findChildren<QLineEdit*>())
        if (e->placeholderText() == "Фильтр")
            filter = e;
    ASSERT_TRUE(filter);

    QTest::keyClicks(filter, "srt");
    EXPECT_EQ(sheet->selection(), both);
    EXPECT_TRUE(tree->isExpanded(model->indexOf("d:/Subs")));
    EXPECT_TRUE(tree->selectionModel()->isSelected(model->indexOf(srt)));
    EXPECT_TRUE(button(sheet.get(), "Скачивать")->isEnabled());
    filter->clear();
    EXPECT_EQ(sheet->selection(), both);
    EXPECT_EQ(tree->selectionModel()->selectedRows().size(), 2);
    EXPECT_TRUE(tree->isExpanded(model->indexOf("d:/Subs")));

    QRect check = tree->visualRect(model->indexOf(srt, FileTreeModel::checkColumn));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, check.center());
    EXPECT_EQ(model->data(model->indexOf(srt), FileTreeModel::CheckRole),
              static_cast<int>(CheckState::off));
    EXPECT_EQ(sheet->selection(), both);
}

// The magnet sheet fills itself when it opens, not when a restored window
// shows it again: the typed link and the chosen folder stay. Return adds
// (and does nothing while "Добавить" is off); Shift+Return starts a line.
TEST_F(AddSheets, MagnetSheetKeepsWhatWasTypedAcrossMinimizeAndAddsOnReturn) {
    auto t = makeTorrent("Meta", test::seasonFiles());
    MagnetSheet sheet(engine(), QString());
    sheet.show();
    auto* editor = sheet.findChild<QPlainTextEdit*>();
    ASSERT_TRUE(editor);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(editor->toPlainText().isEmpty());
    const QString link = QString::fromStdString(t.magnet());
    QTest::keyClicks(editor, link);
    const QString chosen = QString::fromStdString((dir / "chosen").string());
    sheet.setSavePath(chosen);

    test::minimizeAndRestore(sheet);
    EXPECT_EQ(sheet.link(), link);
    EXPECT_EQ(sheet.savePath(), chosen);

    QTest::keyClick(editor, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(editor->toPlainText(), link + "\n");
    QSignalSpy added(&sheet, &MagnetSheet::added);
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_EQ(added.count(), 1);
    EXPECT_FALSE(sheet.isVisible());
    std::string id = added.at(0).at(0).toString().toStdString();
    ASSERT_TRUE(test::waitUntil([&] { return engine().torrent(id).has_value(); }));
    EXPECT_EQ(engine().torrent(id)->savePath, chosen.toStdString());
}
