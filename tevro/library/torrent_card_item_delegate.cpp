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
    return {m_width, ownHeight(index).value_or(commonHeight())};
}

int TorrentCardItemDelegate::commonHeight() const {
    // Cards that are not checking share one height per width.
    static QHash<int, int> heights;
    auto it = heights.constFind(m_width);
    if (it == heights.cend())
        it = heights.insert(m_width, int(TorrentCard::cardHeight(m_width, TorrentStatus())));
    return *it;
}

std::optional<int> TorrentCardItemDelegate::ownHeight(const QModelIndex& index) const {
    const auto* model = qobject_cast<const TorrentListModel*>(index.model());
    int height = m_width;
    if (model) {
        const auto& torrent = model->item(index.row()).torrent;
        if (!torrent.isChecking())
            return std::nullopt;
        height = int(TorrentCard::cardHeight(m_width, torrent));
    }
    if (height == commonHeight())
        return std::nullopt;
    return height;
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
