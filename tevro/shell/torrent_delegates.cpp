#include "tevro/shell/torrent_delegates.h"

#include <QAbstractItemView>
#include <QListView>
#include <QPainter>
#include <QPainterPath>

#include "tevro/core/format.h"
#include "tevro/core/torrent_status.h"
#include "tevro/media/artwork_store.h"
#include "tevro/media/media_presentation.h"
#include "tevro/media/status_text.h"
#include "tevro/shell/library_model.h"
#include "tevro/shell/shell_style.h"

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

void drawCover(QPainter* p, const QRectF& rect, const QImage* image, const QString& title,
               qreal radius) {
    QPainterPath clip;
    clip.addRoundedRect(rect, radius, radius);
    p->save();
    p->setClipPath(clip);
    if (image) {
        QImage scaled = image->scaled(rect.size().toSize(), Qt::KeepAspectRatioByExpanding,
                                      Qt::SmoothTransformation);
        QRectF source((scaled.width() - rect.width()) / 2, (scaled.height() - rect.height()) / 2,
                      rect.width(), rect.height());
        p->drawImage(rect, scaled, source);
    } else {
        QLinearGradient g(rect.topLeft(), rect.bottomRight());
        g.setColorAt(0, QColor(38, 44, 52));
        g.setColorAt(1, QColor(16, 18, 22));
        p->fillRect(rect, g);
        if (!title.isEmpty() && rect.height() > 60) {
            p->setPen(ShellStyle::muted());
            p->setFont(ShellStyle::font(13, QFont::Medium));
            p->drawText(rect.adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, title);
        }
    }
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

QColor statusColour(const TorrentStatus& t) {
    if (!t.error.empty())
        return QColor(255, 95, 87);
    if (t.finished || t.seeding)
        return ShellStyle::mint();
    return ShellStyle::muted();
}

} // namespace

TorrentCardDelegate::TorrentCardDelegate(CoverCache* covers, bool listRow, QObject* parent)
    : QStyledItemDelegate(parent), m_covers(covers), m_listRow(listRow) {}

QSize TorrentCardDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    if (m_listRow) {
        int width = option.widget ? option.widget->width() - 12 : 600;
        return {width, 86};
    }
    auto* view = qobject_cast<const QListView*>(option.widget);
    QSize grid = view ? view->gridSize() : QSize(258, 220);
    return grid - QSize(18, 20);
}

void TorrentCardDelegate::paint(QPainter* p, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    auto* model = qobject_cast<const LibraryModel*>(index.model());
    const TorrentStatus* t = model ? model->status(index.row()) : nullptr;
    if (!t)
        return;
    bool selected = index.data(LibraryModel::SelectedRole).toBool();
    bool hover = option.state & QStyle::State_MouseOver;
    MediaPresentation presentation(t->name);
    QString title = QString::fromStdString(presentation.title);
    QString status = QString::fromStdString(statusText(*t));
    QString percent = QString::fromStdString(Format::percent(t->displayProgress()));
    const QImage* cover = m_covers ? m_covers->cover(*t) : nullptr;

    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    QRectF card = QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5);
    if (!m_listRow)
        card.setSize(sizeHint(option, index));
    p->setPen(selected ? QPen(ShellStyle::accent(), 2)
                       : QPen(QColor::fromRgbF(1, 1, 1, hover ? 0.18f : 0.08f), 1));
    p->setBrush(QColor(20, 21, 24));
    p->drawRoundedRect(card, 12, 12);

    QRectF art, text;
    if (m_listRow) {
        art = QRectF(card.left() + 10, card.top() + 10, (card.height() - 20) * 16 / 9,
                     card.height() - 20);
        text = QRectF(art.right() + 14, card.top() + 12, card.width() - art.width() - 40,
                      card.height() - 24);
    } else {
        art =
            QRectF(card.left() + 1, card.top() + 1, card.width() - 2, (card.width() - 2) * 9 / 16);
        text = QRectF(card.left() + 12, art.bottom() + 8, card.width() - 24,
                      card.bottom() - art.bottom() - 14);
    }
    drawCover(p, art, cover, m_listRow ? QString() : title, m_listRow ? 6 : 11);

    p->setPen(Qt::white);
    p->setFont(ShellStyle::font(13, QFont::DemiBold));
    QFontMetrics fm(p->font());
    p->drawText(QRectF(text.left(), text.top(), text.width(), 18), Qt::AlignLeft | Qt::AlignVCenter,
                fm.elidedText(title, Qt::ElideRight, int(text.width())));
    p->setFont(ShellStyle::font(11));
    QString second = status + QStringLiteral(" · ") + percent;
    QString subtitle = QString::fromStdString(presentation.subtitle());
    if (!subtitle.isEmpty() && m_listRow)
        second = subtitle + QStringLiteral(" · ") + second;
    p->setPen(statusColour(*t));
    QFontMetrics small(p->font());
    p->drawText(QRectF(text.left(), text.top() + 22, text.width(), 16),
                Qt::AlignLeft | Qt::AlignVCenter,
                small.elidedText(second, Qt::ElideRight, int(text.width())));
    QColor barColour = (t->finished || t->seeding) ? ShellStyle::mint() : ShellStyle::accent();
    drawBar(p, QRectF(text.left(), text.bottom() - 5, text.width(), 4), t->displayProgress(),
            barColour);
    p->restore();
}

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
        o.font = ShellStyle::font(11);
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
        drawCover(p, art, m_covers ? m_covers->cover(*t) : nullptr, {}, 4);
        QRectF text(art.right() + 10, r.top() + 5, r.right() - art.right() - 14, r.height() - 10);
        p->setPen(Qt::white);
        p->setFont(ShellStyle::font(12, QFont::Medium));
        QFontMetrics fm(p->font());
        QString title = index.data(Qt::DisplayRole).toString();
        p->drawText(QRectF(text.left(), text.top(), text.width(), 16),
                    Qt::AlignLeft | Qt::AlignVCenter,
                    fm.elidedText(title, Qt::ElideRight, int(text.width())));
        p->setPen(ShellStyle::muted());
        p->setFont(ShellStyle::font(9));
        QFontMetrics sm(p->font());
        p->drawText(QRectF(text.left(), text.top() + 18, text.width(), 12),
                    Qt::AlignLeft | Qt::AlignVCenter,
                    sm.elidedText(index.data(LibraryModel::SubtitleRole).toString(), Qt::ElideRight,
                                  int(text.width())));
    } else {
        p->setPen(Qt::white);
        p->setFont(ShellStyle::font(11));
        p->drawText(QRectF(r.left() + 4, r.top() + 6, r.width() - 8, 14),
                    Qt::AlignLeft | Qt::AlignVCenter, index.data(Qt::DisplayRole).toString());
        drawBar(p, QRectF(r.left() + 4, r.top() + 26, r.width() - 12, 5), t->displayProgress(),
                ShellStyle::accent());
    }
    p->restore();
}

} // namespace tevro
