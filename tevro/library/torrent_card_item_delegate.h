#pragma once

// Paints torrent cards in the library's grid, at the card width the grid sets.

#include "tevro/library/library_item_delegate.h"

namespace tevro {

class TorrentCardItemDelegate : public LibraryItemDelegate {
    Q_OBJECT
public:
    explicit TorrentCardItemDelegate(QObject* parent = nullptr);

    void setCardWidth(int width);
    int cardWidth() const { return m_width; }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
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
