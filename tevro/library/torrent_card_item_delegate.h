#pragma once

// Paints torrent cards in the library's grid, at the card width the grid sets.

#include <optional>

#include "tevro/library/library_item_delegate.h"

namespace tevro {

class TorrentCardItemDelegate : public LibraryItemDelegate {
    Q_OBJECT
public:
    explicit TorrentCardItemDelegate(QObject* parent = nullptr);

    void setCardWidth(int width);
    int cardWidth() const { return m_width; }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The height of every card at the current width but the ones ownHeight
    // names: the grid lays those out without asking each.
    int commonHeight() const;
    // The height of the card at `index` when it is not the common one (a
    // check's metrics take their lines).
    std::optional<int> ownHeight(const QModelIndex& index) const;
    QRectF itemRect(const QRect& cell) const override;

protected:
    void paintItem(QPainter& painter, const QRectF& rect,
                   const LibraryItemPaint& item) const override;
    PaintedElements itemElements(const QRectF& rect, const LibraryItemPaint& item) const override;
    qreal itemRadius() const override;

private:
    int m_width = 260;
};

} // namespace tevro
