#pragma once

// The library's grid: cards in as many columns of at least the minimum card
// width as fit, filling the width up to the maximum card width. The grid
// does not scroll itself: it is as tall as its cards and lives in the
// library's scroll view, below the featured item.
//
// The grid places its cards itself, where the list view's icon mode would,
// from what it knows of them: every card shares one height but the few with
// their own (checking cards), so a row added or changed costs that row, not
// a layout of every card.

#include <vector>

#include "tevro/library/library_item_view.h"

class QScrollArea;

namespace tevro {

class TorrentCardItemDelegate;

class TorrentGridView : public LibraryItemView {
    Q_OBJECT
public:
    static constexpr int kMinCardWidth = 220;
    static constexpr int kMaxCardWidth = 340;
    static constexpr int kSpacing = 18;

    explicit TorrentGridView(QWidget* parent = nullptr);

    int columns() const { return m_columns; }
    int cardWidth() const;

    // The height of all the cards at the current width.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Also brings the item into the view of the scroll view around the grid.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QRect visualRect(const QModelIndex& index) const override;
    QModelIndex indexAt(const QPoint& point) const override;
    void setModel(QAbstractItemModel* model) override;
    void doItemsLayout() override;
    void reset() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    // The wheel scrolls the scroll view around the grid.
    void wheelEvent(QWheelEvent* event) override;
    // A card whose height changed (checking metrics came, went or wrapped)
    // lays the grid out again.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = {}) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

private:
    // A row of the grid with a card of its own height: its height, and how
    // much taller the rows of such cards above it are than common rows.
    struct TallRow {
        int row;
        int height;
        int above;
    };
    struct OwnHeight {
        int row;
        int height;
    };

    void fitColumns();
    // The library's scroll view the grid lives in, if any.
    QScrollArea* scrollView() const;

    // The layout as the cards now are; measures every card only after a
    // reset, a reorder or a new width.
    void layOut() const;
    // Measures rows first..last anew; whether a card's height changed.
    bool remeasure(int first, int last) const;
    void shiftRows(int from, int by);
    int rowCount() const;
    int gridRows() const;
    int rowTop(int gridRow) const;
    int rowHeight(int gridRow) const;
    // The grid row at `y`, in contents coordinates.
    int gridRowAt(int y) const;
    // The card of model row `row`, in contents coordinates.
    QRect cardRect(int row) const;
    // The rows whose cards meet `area` (contents coordinates), in row order.
    std::vector<int> rowsIn(const QRect& area) const;
    QModelIndex closest(const QRect& target, const std::vector<int>& rows) const;
    bool enabled(int row) const;

    TorrentCardItemDelegate* m_cards;
    int m_columns = 1;
    int m_contentHeight = 0;
    // Cards with a height of their own, by model row.
    mutable std::vector<OwnHeight> m_own;
    // Every card is measured again at the next layout.
    mutable bool m_remeasure = true;
    mutable bool m_stale = true;
    mutable int m_perRow = 1;
    mutable int m_commonHeight = 0;
    mutable int m_contentWidth = 0;
    mutable int m_laidHeight = 0;
    mutable int m_laidRows = 0;
    mutable std::vector<TallRow> m_tallRows;
    QPersistentModelIndex m_hover;
};

} // namespace tevro
