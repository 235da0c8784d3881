#include "tevro/shell/torrent_delegates.h"

#include <QAbstractItemView>
#include <QListView>
#include <QPainter>
#include <QPainterPath>

#include "tevro/core/format.h"
#include "tevro/core/torrent_status.h"
#include "tevro/media/artwork_store.h"
#include "tevro/media/media_presentation.h"
#include "tevro/library/torrent_status_text.h"
#include "tevro/shell/library_model.h"
#include "tevro/library/library_style.h"
#include "tevro/library/media_artwork.h"
#include "tevro/library/symbols.h"

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

void drawBar(QPainter* p, const QRectF& rect, double fraction, const QColor& colour) {
    p->setPen(Qt::NoPen);
    p->setBrush(QColor::fromRgbF(1, 1, 1, 0.12f));
    p->drawRoundedRect(rect, rect.height() / 2, rect.height() / 2);
    if (fraction > 0) {
        QRectF done = rect;
        done.setWidth(rect.width() * std::clamp(fraction, 0.0, 1.0));
        p->setBrush(colour);
        p->drawRoundedRect(done, rect.height() / 2, rect.height() / 2);
    }
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
        drawBar(p, QRectF(r.left() + 4, r.top() + 26, r.width() - 12, 5), t->displayProgress(),
                LibraryStyle::accent());
    }
    p->restore();
}

} // namespace tevro
