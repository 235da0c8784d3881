#pragma once

// The sidebar's seven library filters with their symbols and counts; a click
// leaves settings and the contents page and shows the library through that
// filter.

#include <functional>
#include <map>

#include <QWidget>

#include "tevro/shell/main_ui_state.h"

class QAbstractButton;

namespace tevro {

class TorrentEngine;

class SidebarFilterList : public QWidget {
    Q_OBJECT
public:
    SidebarFilterList(TorrentEngine& engine, MainUIState& ui, QWidget* parent = nullptr);

    static QString title(TorrentFilter filter);
    static QString symbol(TorrentFilter filter);

    QAbstractButton* row(TorrentFilter filter) const { return m_rows.at(filter); }
    // False while the offers page is shown; none until the offers module is there.
    void setOffersPresented(std::function<bool()> presented);
    // Counts and the selected row afresh.
    void refresh();

private:
    void choose(TorrentFilter filter);

    TorrentEngine& m_engine;
    MainUIState& m_ui;
    std::function<bool()> m_offersPresented;
    std::map<TorrentFilter, QAbstractButton*> m_rows;
};

} // namespace tevro
