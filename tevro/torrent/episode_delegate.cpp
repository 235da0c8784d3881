#include "tevro/torrent/episode_delegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include "tevro/core/format.h"
#include "tevro/library/file_pieces_bar.h"
#include "tevro/library/library_style.h"
#include "tevro/library/media_artwork.h"
#include "tevro/library/symbols.h"
#include "tevro/media/media_presentation.h"
#include "tevro/media/media_text.h"
#include "tevro/torrent/episode_model.h"

namespace tevro {

namespace {

QString sizeText(const TorrentFile& f) {
    return QString::fromStdString(Format::bytes(std::max<std::int64_t>(0, f.size)));
}

QString fileName(const TorrentFile& f) {
    return QString::fromStdString(std::string(MediaText::lastComponent(f.path)));
}

} // namespace

EpisodeDelegate::EpisodeDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QSize EpisodeDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return m_size;
}

QRect EpisodeDelegate::pictureRect(const QRect& rect) const {
    if (m_compact) {
        QRect r = rect.adjusted(0, kRowGap / 2, 0, -kRowGap / 2);
        return QRect(r.left() + 10, r.top() + 10, 132, 74);
    }
    QRect card = rect.adjusted(kCardGap / 2, kCardGap / 2, -kCardGap / 2, -kCardGap / 2);
    return QRect(card.left(), card.top(), card.width(), qRound(card.width() / 1.7778));
}

QRect EpisodeDelegate::toggleRect(const QRect& rect) const {
    if (m_compact) {
        QRect r = rect.adjusted(0, kRowGap / 2, 0, -kRowGap / 2);
        return QRect(r.right() - 10 - 20, r.center().y() - 10, 20, 20);
    }
    QRect card = rect.adjusted(kCardGap / 2, kCardGap / 2, -kCardGap / 2, -kCardGap / 2);
    QRect picture = pictureRect(rect);
    return QRect(card.right() - 13 - 18, picture.bottom() + 5 + 13 - 1, 18, 18);
}

void EpisodeDelegate::paintToggle(QPainter& p, const QRect& r, const TorrentFile& file) const {
    bool on = file.prio >= 1;
    Symbols::paint(p, r, on ? "checkmark.circle.fill" : "circle",
                   on ? LibraryStyle::accent() : LibraryStyle::muted());
}

void EpisodeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (m_compact)
        paintRow(*painter, option.rect, index);
    else
        paintCard(*painter, option.rect, index);
    painter->restore();
}

void EpisodeDelegate::paintCard(QPainter& p, const QRect& rect, const QModelIndex& index) const {
    auto* model = qobject_cast<const EpisodeModel*>(index.model());
    const TorrentFile* file = model ? model->file(index) : nullptr;
    if (!file)
        return;
    QRect card = rect.adjusted(kCardGap / 2, kCardGap / 2, -kCardGap / 2, -kCardGap / 2);
    QPainterPath shape;
    shape.addRoundedRect(card, 11, 11);
    p.fillPath(shape, LibraryStyle::surface());
    p.save();
    p.setClipPath(shape);
    QRect picture = pictureRect(rect);
    MediaArtwork::paint(p, picture, model->torrent(), *file, false, model->image(file->i));
    // Play badge in the middle.
    QRect badge(picture.center().x() - 21, picture.center().y() - 21, 42, 42);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 128));
    p.drawEllipse(badge);
    Symbols::paint(p, badge.adjusted(12, 12, -12, -12), "play.fill", LibraryStyle::text());
    // Progress badge in the bottom-trailing corner.
    QFont small = LibraryStyle::font(10);
    p.setFont(small);
    QString progress = EpisodeModel::badgeText(*file);
    QFontMetrics fm(small);
    QRect pill(0, 0, fm.horizontalAdvance(progress) + 12, fm.height() + 12);
    pill.moveBottomRight(picture.bottomRight() - QPoint(8, 8));
    p.setBrush(QColor(0, 0, 0, 153));
    p.drawRoundedRect(pill, 4, 4);
    p.setPen(LibraryStyle::text());
    p.drawText(pill, Qt::AlignCenter, progress);
    // Piece bar across the card.
    QRect bar(card.left(), picture.bottom() + 1, card.width(), 5);
    FilePiecesBar::paint(p, bar, model->pieceMap(), *file);
    // Title, toggle and subtitle.
    QRect details = QRect(card.left() + 13, bar.bottom() + 1 + 13, card.width() - 26,
                          card.bottom() - bar.bottom() - 26);
    QRect toggle = toggleRect(rect);
    p.setFont(LibraryStyle::font(14));
    p.setPen(LibraryStyle::text());
    QRect titleRect(details.left(), details.top(), toggle.left() - 8 - details.left(), 18);
    p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(p.font()).elidedText(EpisodeModel::episodeTitle(*file), Qt::ElideRight,
                                                 titleRect.width()));
    paintToggle(p, toggle, *file);
    MediaPresentation presentation(MediaText::lastComponent(file->path));
    QString subtitle = sizeText(*file);
    if (presentation.quality)
        subtitle = QString::fromStdString(*presentation.quality) + QStringLiteral(" · ") + subtitle;
    p.setFont(LibraryStyle::font(10));
    p.setPen(LibraryStyle::muted());
    p.drawText(QRect(details.left(), titleRect.bottom() + 9, details.width(), 14),
               Qt::AlignLeft | Qt::AlignVCenter, subtitle);
    p.restore();
    p.setPen(QPen(LibraryStyle::line(), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(card).adjusted(0.5, 0.5, -0.5, -0.5), 11, 11);
}

void EpisodeDelegate::paintRow(QPainter& p, const QRect& rect, const QModelIndex& index) const {
    auto* model = qobject_cast<const EpisodeModel*>(index.model());
    const TorrentFile* file = model ? model->file(index) : nullptr;
    if (!file)
        return;
    QRect row = rect.adjusted(0, kRowGap / 2, 0, -kRowGap / 2);
    QPainterPath shape;
    shape.addRoundedRect(row, 9, 9);
    p.fillPath(shape, LibraryStyle::surface());
    QRect thumb = pictureRect(rect);
    QPainterPath thumbShape;
    thumbShape.addRoundedRect(thumb, 6, 6);
    p.save();
    p.setClipPath(thumbShape);
    MediaArtwork::paint(p, thumb, model->torrent(), *file, false, model->image(file->i));
    p.restore();
    QRect badge(thumb.center().x() - 17, thumb.center().y() - 17, 34, 34);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 128));
    p.drawEllipse(badge);
    Symbols::paint(p, badge.adjusted(10, 10, -10, -10), "play.fill", LibraryStyle::text());

    QRect toggle = toggleRect(rect);
    QRect percent(toggle.left() - 15 - 40, row.top(), 40, row.height());
    p.setFont(LibraryStyle::font(11));
    p.setPen(LibraryStyle::muted());
    p.drawText(percent, Qt::AlignCenter,
               QString::fromStdString(Format::percent(EpisodeModel::fraction(*file))));
    QString size = sizeText(*file);
    int sizeWidth = QFontMetrics(p.font()).horizontalAdvance(size);
    QRect sizeRect(percent.left() - 15 - sizeWidth, row.top(), sizeWidth, row.height());
    p.drawText(sizeRect, Qt::AlignVCenter | Qt::AlignRight, size);
    paintToggle(p, toggle, *file);

    int left = thumb.right() + 15;
    int width = std::max(40, sizeRect.left() - 15 - left);
    int top = row.center().y() - (18 + 7 + 13 + 7 + 5) / 2;
    p.setFont(LibraryStyle::font(14));
    p.setPen(LibraryStyle::text());
    p.drawText(QRect(left, top, width, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(p.font()).elidedText(EpisodeModel::episodeTitle(*file), Qt::ElideRight,
                                                 width));
    p.setFont(LibraryStyle::font(10));
    p.setPen(LibraryStyle::muted());
    p.drawText(QRect(left, top + 25, width, 13), Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(p.font()).elidedText(fileName(*file), Qt::ElideMiddle, width));
    FilePiecesBar::paint(p, QRect(left, top + 45, std::min(260, width), 5), model->pieceMap(),
                         *file);
}

bool EpisodeDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* e = static_cast<QMouseEvent*>(event);
        auto* episodes = qobject_cast<EpisodeModel*>(model);
        const TorrentFile* file = episodes ? episodes->file(index) : nullptr;
        if (file && e->button() == Qt::LeftButton) {
            TorrentFile copy = *file;
            if (toggleRect(option.rect).contains(e->position().toPoint())) {
                emit toggleRequested(copy);
                return true;
            }
            if (pictureRect(option.rect).contains(e->position().toPoint())) {
                emit playRequested(copy);
                return true;
            }
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

QString EpisodeDelegate::toggleToolTip(const TorrentFile& file) {
    return file.prio >= 1 ? QStringLiteral("Не скачивать") : QStringLiteral("Скачивать");
}

bool EpisodeDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    auto* model = qobject_cast<const EpisodeModel*>(index.model());
    const TorrentFile* file = model ? model->file(index) : nullptr;
    if (!file)
        return false;
    QRect toggle = toggleRect(option.rect);
    if (toggle.contains(event->pos()))
        QToolTip::showText(event->globalPos(), toggleToolTip(*file), view->viewport(), toggle);
    else if (!m_compact)
        QToolTip::showText(event->globalPos(), index.data(Qt::ToolTipRole).toString(),
                           view->viewport(), option.rect);
    else
        QToolTip::hideText();
    return true;
}

} // namespace tevro
