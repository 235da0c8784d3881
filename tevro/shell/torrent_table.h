#pragma once

// The table layout: six columns over the library model, its row selection
// bound to the window's selection, its header clicks editing the table's sort
// order, its right-click, double-click / Return and Delete going to the window.

#include <set>
#include <string>

#include <QTableView>

namespace tevro {

class MainView;

class TorrentTable : public QTableView {
    Q_OBJECT
public:
    explicit TorrentTable(MainView& view, QWidget* parent = nullptr);

    // Applies the window's selection to the rows.
    void syncFromState();
    void updateColumnWidths();
    // Wide enough for every status word with its symbol, and never below 125.
    int statusColumnWidth() const;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    // A right click leaves the selection as it is; the menu takes the
    // selection when the row is in it, else the row alone.
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void pushSelection();
    void sortBy(int column);
    std::set<std::string> selectedIds() const;

    MainView& m_view;
    bool m_syncing = false;
};

} // namespace tevro
