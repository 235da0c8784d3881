#include "tevro/shell/main_window.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <algorithm>
#include <functional>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "tests/shell/shell_fixture.h"
#include "tevro/shell/library_header.h"

using namespace tevro;

namespace {

class MainWindowTest : public test::ShellFixture {};

TEST_F(MainWindowTest, MenuCommandsActOnTheSelectionAndFlipAlternativeLimits) {
    std::string a = add("A", 64 * 1024);
    std::string b = add("B", 64 * 1024);
    std::string c = add("C", 64 * 1024);
    MainWindow window(*engine, *ui, nullptr, nullptr, {});
    ui->setSelection({a, b});
    window.action(QStringLiteral("Возобновить"))->trigger();
    ASSERT_TRUE(test::waitUntil(
        [&] { return !engine->torrent(a)->paused && !engine->torrent(b)->paused; }));
    EXPECT_TRUE(engine->torrent(c)->paused);
    window.action(QStringLiteral("Пауза"))->trigger();
    ASSERT_TRUE(
        test::waitUntil([&] { return engine->torrent(a)->paused && engine->torrent(b)->paused; }));

    QSignalSpy pushed(engine.get(), &TorrentEngine::settingsChanged);
    QAction* limits = window.action(QStringLiteral("Альтернативные лимиты"));
    EXPECT_EQ(limits->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    limits->trigger();
    EXPECT_TRUE(engine->settings().altSpeedEnabled);
    limits->trigger();
    EXPECT_FALSE(engine->settings().altSpeedEnabled);
    EXPECT_EQ(pushed.count(), 2);

    // The magnet item takes the clipboard only when it holds a magnet link.
    struct Case {
        QString clipboard, text;
    } cases[] = {{"magnet:?xt=urn:btih:abc", "magnet:?xt=urn:btih:abc"},
                 {" magnet:?xt=urn:btih:abc", ""},
                 {"Magnet:?xt=urn:btih:abc", ""}};
    for (const auto& k : cases) {
        QGuiApplication::clipboard()->setText(k.clipboard);
        ui->setShowMagnet(false);
        window.action(QStringLiteral("Magnet-ссылка…"))->trigger();
        EXPECT_TRUE(ui->showMagnet());
        EXPECT_EQ(QString::fromStdString(ui->magnetText()), k.text) << k.clipboard.toStdString();
    }
    ui->setShowMagnet(false);
}

TEST_F(MainWindowTest, HeaderFollowsItsWidthClassAndTheSelection) {
    EXPECT_EQ(LibraryHeader::widthClass(1060), LibraryHeader::WidthClass::wide);
    EXPECT_EQ(LibraryHeader::widthClass(1059), LibraryHeader::WidthClass::middle);
    EXPECT_EQ(LibraryHeader::widthClass(880), LibraryHeader::WidthClass::middle);
    EXPECT_EQ(LibraryHeader::widthClass(879), LibraryHeader::WidthClass::compact);

    std::string a = add("A");
    MainWindow window(*engine, *ui, nullptr, nullptr, {});
    window.resize(1280, 860);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    LibraryHeader* header = window.view()->header();
    EXPECT_EQ(header->currentClass(), LibraryHeader::WidthClass::wide);
    EXPECT_FALSE(header->detailsToggle()->isEnabled()); // no primary torrent
    EXPECT_EQ(header->addButton()->text(), QStringLiteral("Добавить"));

    ui->setSelection({a});
    EXPECT_TRUE(header->detailsToggle()->isEnabled());
    QTest::mouseClick(header->detailsToggle(), Qt::LeftButton);
    EXPECT_TRUE(ui->showDetails());
    EXPECT_EQ(header->detailsToggle()->toolTip(), QStringLiteral("Скрыть сведения"));

    // A search of one space shows the clear button, which empties it.
    ui->setSearch(" ");
    QToolButton* clear = nullptr;
    for (QToolButton* b : header->findChildren<QToolButton*>())
        if (b->accessibleName() == QStringLiteral("Очистить поиск"))
            clear = b;
    ASSERT_NE(clear, nullptr);
    EXPECT_TRUE(clear->isVisible());
    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_EQ(ui->search(), "");
    EXPECT_FALSE(clear->isVisible());

    // Compact: the add button keeps only its symbol and the search field narrows.
    window.resize(900, 860);
    ASSERT_TRUE(test::waitUntil(
        [&] { return header->currentClass() == LibraryHeader::WidthClass::compact; }));
    EXPECT_TRUE(header->addButton()->text().isEmpty());
    EXPECT_EQ(header->searchField()->parentWidget()->width(), 132);
}

// Depth first through what an assistive tool sees of `root`.
void walk(QAccessibleInterface* root, const std::function<void(QAccessibleInterface*)>& visit,
          int depth = 0) {
    if (!root || depth > 40)
        return;
    visit(root);
    for (int i = 0; i < root->childCount(); ++i)
        walk(root->child(i), visit, depth + 1);
}

// The shown item of the library named "`title`, …" in the list or grid named `view`.
QAccessibleInterface* libraryItem(QWidget& window, const QString& view, const QString& title) {
    QAccessibleInterface* found = nullptr;
    walk(QAccessible::queryAccessibleInterface(&window), [&](QAccessibleInterface* i) {
        if (!found && i->role() == QAccessible::ListItem && !i->state().invisible &&
            i->text(QAccessible::Name).startsWith(title + QStringLiteral(", ")) && i->parent() &&
            i->parent()->text(QAccessible::Name) == view)
            found = i;
    });
    return found;
}

struct Part {
    QAccessible::Role role;
    QString name;
    QString value;
};

std::vector<Part> partsOf(QAccessibleInterface* item) {
    std::vector<Part> parts;
    for (int i = 0; item && i < item->childCount(); ++i)
        if (QAccessibleInterface* c = item->child(i))
            parts.push_back({c->role(), c->text(QAccessible::Name), c->text(QAccessible::Value)});
    return parts;
}

bool press(QAccessibleInterface* item, const QString& name) {
    for (int i = 0; item && i < item->childCount(); ++i) {
        QAccessibleInterface* c = item->child(i);
        if (c && c->text(QAccessible::Name) == name && c->actionInterface()) {
            c->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            return true;
        }
    }
    return false;
}

bool hasPart(const std::vector<Part>& parts, QAccessible::Role role, const QString& name) {
    return std::ranges::any_of(parts,
                               [&](const Part& p) { return p.role == role && p.name == name; });
}

// The accessible tree of the real window holds every named control of a card
// and of a row, and its press actions play and pause the torrent.
TEST_F(MainWindowTest, AccessibleTreeOfCardsAndRowsPlaysAndPauses) {
    swarm::GeneratedTorrent::Options o;
    o.name = "Docs";
    o.files = {{"Docs/readme.txt", 50000}, {"Docs/book.pdf", 90000}};
    auto docs = swarm::GeneratedTorrent::create(dir / "docs", o);
    auto added = engine->addTorrent(docs.torrentPath(), docs.savePath().string(), std::nullopt,
                                    false, false);
    ASSERT_TRUE(added);
    const std::string id = added->id;
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(id) && engine->torrent(id)->seeding; },
                                std::chrono::seconds(30)));
    MainWindow window(*engine, *ui, nullptr, nullptr, {});
    window.resize(1280, 860);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ui->setSelection({id});

    QAccessibleInterface* card = nullptr;
    ASSERT_TRUE(test::waitUntil(
        [&] { return (card = libraryItem(window, QStringLiteral("Медиатека"), "Docs")); }));
    EXPECT_EQ(card->text(QAccessible::Name), QStringLiteral("Docs, Раздача, 100%"));
    EXPECT_TRUE(card->state().selected);
    auto cardParts = partsOf(card);
    using R = QAccessible::Role;
    for (const Part& want : std::vector<Part>{{R::Button, "Docs, Раздача, 100%", {}},
                                              {R::StaticText, "Раздача", {}},
                                              {R::StaticText, "Docs", {}},
                                              {R::StaticText, "Файлы", {}},
                                              {R::StaticText, "Готово", {}},
                                              {R::Button, "Открыть", {}},
                                              {R::Button, "Приостановить загрузку", {}},
                                              {R::Button, "Файлы и сведения", {}}})
        EXPECT_TRUE(hasPart(cardParts, want.role, want.name)) << want.name.toStdString();
    // The bar under the picture, with its value: pieces once the map is in.
    ASSERT_TRUE(test::waitUntil(
        [&] { return hasPart(partsOf(card), R::ProgressBar, QStringLiteral("Части файла")); }));
    for (const Part& p : partsOf(card)) {
        if (p.role == R::ProgressBar) {
            EXPECT_TRUE(p.value.startsWith(QStringLiteral("Скачано: "))) << p.value.toStdString();
        }
    }

    // Play ("Открыть": no video, so the file manager shows it) and pause, through the tree.
    ASSERT_TRUE(press(card, QStringLiteral("Открыть")));
    ASSERT_TRUE(test::waitUntil([&] { return !revealed.empty(); }));
    ASSERT_TRUE(press(card, QStringLiteral("Приостановить загрузку")));
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(id)->paused; }));

    // The list's row.
    LibraryPreferences p = ui->preferences();
    p.layout = LibraryLayout::list;
    ui->setPreferences(p);
    QAccessibleInterface* row = nullptr;
    ASSERT_TRUE(test::waitUntil(
        [&] { return (row = libraryItem(window, QStringLiteral("Список торрентов"), "Docs")); }));
    EXPECT_TRUE(row->state().selected);
    auto rowParts = partsOf(row);
    for (const Part& want : std::vector<Part>{{R::Button, "Выбрать Docs", {}},
                                              {R::Button, "Docs", {}},
                                              {R::StaticText, "Файлы", {}},
                                              {R::StaticText, "100%", {}},
                                              {R::StaticText, "Готово", {}},
                                              {R::Button, "Открыть", {}},
                                              {R::ButtonMenu, "Действия с торрентом", {}}})
        EXPECT_TRUE(hasPart(rowParts, want.role, want.name)) << want.name.toStdString();
    EXPECT_TRUE(
        std::ranges::any_of(rowParts, [](const Part& p) { return p.role == R::ProgressBar; }));

    // The row's actions menu, as a screen reader opens and uses it: resume.
    ASSERT_TRUE(press(row, QStringLiteral("Действия с торрентом")));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QAccessibleInterface* items = QAccessible::queryAccessibleInterface(menu);
    ASSERT_NE(items, nullptr);
    QAccessibleInterface* resume = nullptr;
    for (int i = 0; i < items->childCount(); ++i)
        if (items->child(i)->text(QAccessible::Name) == QStringLiteral("Возобновить"))
            resume = items->child(i);
    ASSERT_NE(resume, nullptr);
    resume->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(test::waitUntil([&] { return !engine->torrent(id)->paused; }));
    menu->close();
    const std::size_t shown = revealed.size();
    ASSERT_TRUE(press(row, QStringLiteral("Открыть")));
    ASSERT_TRUE(test::waitUntil([&] { return revealed.size() > shown; }));
}

} // namespace
