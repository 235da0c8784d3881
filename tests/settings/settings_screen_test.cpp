#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/settings/settings_fixture.h"
#include "tevro/settings/settings_group.h"
#include "tevro/settings/settings_page_widget.h"
#include "tevro/settings/settings_screen.h"

using namespace tevro;

namespace {

class SettingsScreenTest : public test::SettingsTest {};

QStringList groupTitles(QWidget& page) {
    QStringList titles;
    for (auto* g : page.findChildren<SettingsGroup*>(Qt::FindDirectChildrenOnly))
        titles << g->title();
    return titles;
}

// The window state keeps the page: a tab click asks for it, setPage shows it.
TEST_F(SettingsScreenTest, EachTabShowsItsPageAtTheTop) {
    SettingsScreen screen(*engine, 0);
    screen.resize(1000, 500);
    screen.show();
    QSignalSpy chosen(&screen, &SettingsScreen::pageChosen);
    const std::vector<std::pair<QString, QStringList>> pages = {
        {"page:downloads", {"Сохранение", "Очередь", "Раздача"}},
        {"page:speed", {"Основные лимиты", "Альтернативные лимиты", "Соединения"}},
        {"page:network", {"Защита", "Подключение", "Трекеры", "Прокси"}},
        {"page:player", {"Дорожки", "Воспроизведение"}},
    };
    for (int i = 3; i >= 0; --i) {
        QTest::mouseClick(screen.tab(i), Qt::LeftButton);
        ASSERT_EQ(chosen.count(), 4 - i);
        EXPECT_EQ(chosen.last().at(0).toInt(), i);
        screen.setPage(i);
        EXPECT_EQ(screen.pageWidget()->objectName(), pages[std::size_t(i)].first);
        EXPECT_EQ(groupTitles(*screen.pageWidget()), pages[std::size_t(i)].second);
        for (int t = 0; t < 4; ++t)
            EXPECT_EQ(screen.tab(t)->isChecked(), t == i);
        EXPECT_EQ(screen.tab(i)->objectName(),
                  "settings." + QString::fromUtf8(SettingsScreen::kPageRawValues[std::size_t(i)]));
    }

    // Scrolled down on the network page, away and back: at the top again.
    screen.setPage(2);
    QTest::qWait(0);
    screen.scrollArea()->verticalScrollBar()->setValue(300);
    screen.setPage(3);
    screen.setPage(2);
    EXPECT_EQ(screen.scrollArea()->verticalScrollBar()->value(), 0);

    // The column stops at 720 and keeps to the leading side.
    screen.resize(1400, 500);
    QTest::qWait(0);
    QRect column = screen.pageWidget()->geometry();
    EXPECT_EQ(column.width(), 720);
    EXPECT_EQ(screen.pageWidget()->mapTo(&screen, QPoint(0, 0)).x(), 24);
    EXPECT_LE(screen.tab(3)->mapTo(&screen, QPoint(screen.tab(3)->width(), 0)).x(), 28 + 720);
}

} // namespace
