#pragma once

// The library's grid: cards in as many columns of at least the minimum card
// width as fit, filling the width up to the maximum card width. The grid
// does not scroll itself: it is as tall as its cards and lives in the
// library's scroll view, below the featured item.

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
    void doItemsLayout() override;
    void reset() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;
    // The wheel scrolls the scroll view around the grid.
    void wheelEvent(QWheelEvent* event) override;
    // A card whose height changed (checking metrics came, went or wrapped)
    // lays the grid out again.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = {}) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

private:
    void fitColumns();
    // The library's scroll view the grid lives in, if any.
    QScrollArea* scrollView() const;

    TorrentCardItemDelegate* m_cards;
    int m_columns = 1;
    int m_contentHeight = 0;
    // Rows came or went since the last layout: the next one sizes every card.
    bool m_layoutPending = false;
};

} // namespace tevro
