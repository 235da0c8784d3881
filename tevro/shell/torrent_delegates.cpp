#include "tevro/shell/torrent_delegates.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDateTime>
#include <QListView>
#include <QPainter>
#include <QPainterPath>

#include "tevro/core/format.h"
#include "tevro/core/torrent_status.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/media/artwork_store.h"
#include "tevro/media/media_presentation.h"
#include "tevro/library/torrent_status_text.h"
#include "tevro/shell/library_model.h"
#include "tevro/library/library_style.h"
#include "tevro/library/media_artwork.h"
#include "tevro/library/piece_map_loader.h"
#include "tevro/library/symbols.h"
#include "tevro/library/transfer_progress.h"

namespace tevro {

CoverCache::CoverCache(ArtworkStore* store, QObject* parent) : QObject(parent), m_store(store) {}

const QImage* CoverCache::cover(const TorrentStatus& torrent) {
    if (m_store) {
        // Ask again when the progress tenth or the metadata changed, as the store allows.
        std::string attempt =
            ArtworkStore::attemptKey(ArtworkStore::cacheKey(torrent.id, {}), torrent, std::nullopt);
        auto asked = m_asked.find(torrent.id);
        bool have = m_covers.contains(torrent.id) && m_covers[torrent.id];
        if (!have && (asked == m_asked.end() || asked->second != attempt)) {
            m_asked[torrent.id] = attempt;
            QPointer<CoverCache> self(this);
            std::string id = torrent.id;
            m_store->image(torrent, std::nullopt, [self, id](std::optional<QImage> image) {
                if (!self || !image)
                    return;
                self->m_covers[id] = std::move(image);
                emit self->coverArrived();
            });
        }
    }
    auto it = m_covers.find(torrent.id);
    return it != m_covers.end() && it->second ? &*it->second : nullptr;
}

const PieceMap& CoverCache::pieces(const TorrentStatus& torrent) {
    Pieces& entry = m_pieces[torrent.id];
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (m_engine && !entry.inFlight && torrent.state != "checking" &&
        (entry.fetched == 0 || now - entry.fetched >= PieceMapLoader::kRefreshMs)) {
        entry.inFlight = true;
        // Never from inside a paint: the answer may come at once.
        QMetaObject::invokeMethod(
            this, [this, id = torrent.id] { fetchPieces(id); }, Qt::QueuedConnection);
    }
    return entry.map;
}

void CoverCache::fetchPieces(const std::string& id) {
    if (!m_engine)
        return;
    QPointer<CoverCache> self(this);
    m_engine->pieceMap(id, [self, id](PieceMap map) {
        if (!self)
            return;
        Pieces& entry = self->m_pieces[id];
        entry.inFlight = false;
        entry.fetched = QDateTime::currentMSecsSinceEpoch();
        if (map == entry.map)
            return;
        entry.map = std::move(map);
        emit self->coverArrived();
    });
}

namespace {

void drawCover(QPainter* p, const QRectF& rect, const QImage* image, const TorrentStatus& torrent,
               bool showsTitle, qreal radius) {
    QPainterPath clip;
    clip.addRoundedRect(rect, radius, radius);
    p->save();
    p->setClipPath(clip);
    MediaArtwork::paint(*p, rect, torrent, std::nullopt, showsTitle, image ? *image : QImage());
    p->restore();
}

} // namespace

TorrentTableDelegate::TorrentTableDelegate(CoverCache* covers, QObject* parent)
    : QStyledItemDelegate(parent), m_covers(covers) {}

QSize TorrentTableDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    return {size.width(), 40};
}

void TorrentTableDelegate::paint(QPainter* p, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    auto* model = qobject_cast<const LibraryModel*>(index.model());
    const TorrentStatus* t = model ? model->status(index.row()) : nullptr;
    if (t && index.column() == LibraryModel::statusColumn) {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        o.font = LibraryStyle::font(11);
        const QColor colour = index.data(Qt::ForegroundRole).value<QColor>();
        // A status keeps its colour on a selected row.
        o.palette.setColor(QPalette::HighlightedText, colour);
        o.icon = Symbols::icon(TorrentStatusText::statusSymbol(*t), colour, 12);
        o.decorationSize = QSize(12, 12);
        o.features |= QStyleOptionViewItem::HasDecoration;
        QStyle* style = o.widget ? o.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &o, p, o.widget);
        return;
    }
    if (!t || (index.column() != LibraryModel::nameColumn &&
               index.column() != LibraryModel::progressColumn)) {
        QStyleOptionViewItem o = option;
        o.font = LibraryStyle::font(11);
        // A status keeps its colour on a selected row.
        if (QVariant colour = index.data(Qt::ForegroundRole); colour.isValid())
            o.palette.setColor(QPalette::HighlightedText, colour.value<QColor>());
        QStyledItemDelegate::paint(p, o, index);
        return;
    }
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    if (option.state & QStyle::State_Selected)
        p->fillRect(option.rect, option.palette.highlight());
    QRectF r = option.rect;
    if (index.column() == LibraryModel::nameColumn) {
        QRectF art(r.left() + 4, r.center().y() - 15, 44, 30);
        drawCover(p, art, m_covers ? m_covers->cover(*t) : nullptr, *t, false, 4);
        QRectF text(art.right() + 10, r.top() + 5, r.right() - art.right() - 14, r.height() - 10);
        p->setPen(Qt::white);
        p->setFont(LibraryStyle::font(12, QFont::Medium));
        QFontMetrics fm(p->font());
        QString title = index.data(Qt::DisplayRole).toString();
        p->drawText(QRectF(text.left(), text.top(), text.width(), 16),
                    Qt::AlignLeft | Qt::AlignVCenter,
                    fm.elidedText(title, Qt::ElideRight, int(text.width())));
        p->setPen(LibraryStyle::muted());
        p->setFont(LibraryStyle::font(9));
        QFontMetrics sm(p->font());
        p->drawText(QRectF(text.left(), text.top() + 18, text.width(), 12),
                    Qt::AlignLeft | Qt::AlignVCenter,
                    sm.elidedText(index.data(LibraryModel::SubtitleRole).toString(), Qt::ElideRight,
                                  int(text.width())));
    } else {
        p->setPen(Qt::white);
        p->setFont(LibraryStyle::font(11));
        p->drawText(QRectF(r.left() + 4, r.top() + 6, r.width() - 8, 14),
                    Qt::AlignLeft | Qt::AlignVCenter, index.data(Qt::DisplayRole).toString());
        const PieceMap empty;
        const PieceMap& map = m_covers ? m_covers->pieces(*t) : empty;
        TransferProgress::paint(*p, QRectF(r.left() + 4, r.top() + 26, r.width() - 12, 5), *t, map,
                                t->id);
    }
    p->restore();
}

} // namespace tevro
