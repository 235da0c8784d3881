#pragma once

// Paints torrent list rows in the library's list, across the list's width.

#include "tevro/library/library_item_delegate.h"

namespace tevro {

class TorrentRowDelegate : public LibraryItemDelegate {
    Q_OBJECT
public:
    explicit TorrentRowDelegate(QObject* parent = nullptr);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void paintItem(QPainter& painter, const QRectF& rect,
                   const LibraryItemPaint& item) const override;
    PaintedElements itemElements(const QRectF& rect, const LibraryItemPaint& item) const override;
    qreal itemRadius() const override;
};

} // namespace tevro
