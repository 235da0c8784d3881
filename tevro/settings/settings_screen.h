#pragma once

// The settings screen shown in place of the library: the title "Настройки",
// one tab per page, a hairline and the chosen page in a scrolling column at
// most 720 wide. The chosen page belongs to the window's state: the screen
// shows the page it is given and reports a tab click through pageChosen().

#include <array>
#include <string_view>

#include <QWidget>

class QScrollArea;
class QPushButton;

namespace tevro {

class SettingsPageWidget;
class TorrentEngine;

class SettingsScreen : public QWidget {
    Q_OBJECT
public:
    // Pages in tab order: 0 downloads, 1 speed, 2 network, 3 player (the
    // order of the window state's page enumeration).
    static constexpr std::array<std::string_view, 4> kPageRawValues = {"downloads", "speed",
                                                                       "network", "player"};
    static QString pageTitle(int page);

    SettingsScreen(TorrentEngine& engine, int page, QWidget* parent = nullptr);

    int page() const { return m_page; }
    // Shows `page` (a fresh page, scrolled to the top) when it differs.
    void setPage(int page);
    SettingsPageWidget* pageWidget() const { return m_pageWidget; }
    QPushButton* tab(int page) const { return m_tabs[std::size_t(page)]; }
    QScrollArea* scrollArea() const { return m_scroll; }

signals:
    // A tab was clicked; the owner stores the page and calls setPage().
    void pageChosen(int page);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showPage();

    TorrentEngine& m_engine;
    int m_page;
    std::array<QPushButton*, 4> m_tabs{};
    QScrollArea* m_scroll = nullptr;
    SettingsPageWidget* m_pageWidget = nullptr;
};

} // namespace tevro
