#include "tevro/library/torrent_row_delegate.h"

#include "tevro/library/torrent_list_row.h"

namespace tevro {

TorrentRowDelegate::TorrentRowDelegate(QObject* parent) : LibraryItemDelegate(parent) {}

QSize TorrentRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    // The list stretches each row to its own width.
    return {420, int(TorrentListRow::kHeight)};
}

void TorrentRowDelegate::paintItem(QPainter& painter, const QRectF& rect,
                                   const LibraryItemPaint& item) const {
    TorrentListRow::paint(painter, rect, item);
}

PaintedElements TorrentRowDelegate::itemElements(const QRectF& rect,
                                                 const LibraryItemPaint& item) const {
    return TorrentListRow::elements(rect, item);
}

qreal TorrentRowDelegate::itemRadius() const {
    return TorrentListRow::kRadius;
}

} // namespace tevro
