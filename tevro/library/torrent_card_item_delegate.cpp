#include "tevro/library/torrent_card_item_delegate.h"

#include <QHash>

#include "tevro/library/torrent_card.h"
#include "tevro/library/torrent_list_model.h"

namespace tevro {

TorrentCardItemDelegate::TorrentCardItemDelegate(QObject* parent) : LibraryItemDelegate(parent) {}

void TorrentCardItemDelegate::setCardWidth(int width) {
    m_width = std::max(120, width);
}

QSize TorrentCardItemDelegate::sizeHint(const QStyleOptionViewItem&,
                                        const QModelIndex& index) const {
    const auto* model = qobject_cast<const TorrentListModel*>(index.model());
    if (!model)
        return {m_width, m_width};
    // Cards that are not checking share one height per width: cached.
    static QHash<quint64, int> heights;
    const auto& torrent = model->item(index.row()).torrent;
    if (torrent.isChecking())
        return {m_width, int(TorrentCard::cardHeight(m_width, torrent))};
    const quint64 key = quint64(m_width);
    auto it = heights.find(key);
    if (it == heights.end())
        it = heights.insert(key, int(TorrentCard::cardHeight(m_width, torrent)));
    return {m_width, *it};
}

QRectF TorrentCardItemDelegate::itemRect(const QRect& cell) const {
    return QRectF(cell.left(), cell.top(), m_width, cell.height());
}

qreal TorrentCardItemDelegate::itemRadius() const {
    return TorrentCard::kRadius;
}

void TorrentCardItemDelegate::paintItem(QPainter& painter, const QRectF& rect,
                                        const LibraryItemPaint& item) const {
    TorrentCard::paint(painter, rect, item);
}

PaintedElements TorrentCardItemDelegate::itemElements(const QRectF& rect,
                                                      const LibraryItemPaint& item) const {
    return TorrentCard::elements(rect, item);
}

} // namespace tevro
