#include "tevro/shell/main_window.h"

#include <QAction>
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

} // namespace
