#include "tevro/library/torrent_card.h"

#include <cmath>

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include "tevro/library/checking_metrics.h"
#include "tevro/library/library_style.h"
#include "tevro/library/media_artwork.h"
#include "tevro/library/symbols.h"
#include "tevro/library/transfer_badge.h"
#include "tevro/library/transfer_progress.h"

namespace tevro {

namespace {

constexpr qreal kInset = 12;
constexpr qreal kTitleSpacing = 5;
constexpr qreal kBlockSpacing = 8;
constexpr qreal kActionTop = 4;
constexpr qreal kActionHeight = 22;
constexpr qreal kIconButton = 22;
constexpr qreal kPlaySymbol = 13;

QFont titleFont() {
    return LibraryStyle::font(14, QFont::Medium);
}
QFont captionFont() {
    return LibraryStyle::font(10);
}
QFont metaFont() {
    return LibraryStyle::font(10);
}
QFont qualityFont() {
    return LibraryStyle::font(9, QFont::Medium);
}
QFont playFont() {
    return LibraryStyle::font(11, QFont::Medium);
}

// Where each part of a card goes.
struct Layout {
    QRectF picture, badge, quality, check, progress, title, caption, titleButton, meta, metrics,
        play, pause, details;

    Layout(const QRectF& r, const LibraryItemPaint& item) {
        const qreal w = r.width();
        picture = QRectF(r.left(), r.top(), w, std::round(w / TorrentCard::kAspect));
        badge =
            QRectF(picture.topLeft() + QPointF(kInset, kInset), TransferBadge::size(item.torrent));
        if (item.text.quality) {
            const QFontMetricsF fm(qualityFont());
            const QSizeF s(fm.horizontalAdvance(*item.text.quality) + 12, fm.height() + 8);
            quality = QRectF(picture.right() - kInset - s.width(), picture.top() + kInset,
                             s.width(), s.height());
        }
        check = QRectF(picture.right() - kInset - 18, picture.bottom() - kInset - 18, 18, 18);
        progress = QRectF(r.left(), picture.bottom(), w, TorrentCard::kProgressHeight);

        const qreal left = r.left() + TorrentCard::kPadding;
        const qreal inner = w - 2 * TorrentCard::kPadding;
        qreal y = progress.bottom() + TorrentCard::kPadding;
        const qreal titleH = QFontMetricsF(titleFont()).height();
        const qreal captionH = QFontMetricsF(captionFont()).height();
        title = QRectF(left, y, inner, titleH);
        caption = QRectF(left, y + titleH + kTitleSpacing, inner, captionH);
        titleButton = title.united(caption);
        y = titleButton.bottom() + kBlockSpacing;
        meta = QRectF(left, y, inner, QFontMetricsF(metaFont()).height());
        y = meta.bottom() + kBlockSpacing;
        if (item.text.checking) {
            metrics = QRectF(left, y, inner, CheckingMetrics::height(item.torrent, inner));
            y = metrics.bottom() + kBlockSpacing;
        }
        y += kActionTop;
        const QFontMetricsF pf(playFont());
        play = QRectF(left, y, kPlaySymbol + 5 + pf.horizontalAdvance(item.text.watchTitle),
                      kActionHeight);
        details = QRectF(left + inner - kIconButton, y, kIconButton, kActionHeight);
        pause = QRectF(details.left() - 8 - kIconButton, y, kIconButton, kActionHeight);
    }

    qreal bottom() const { return play.bottom() + TorrentCard::kPadding; }
};

void drawText(QPainter& p, const QRectF& r, const QFont& font, const QColor& color,
              const QString& text, Qt::Alignment align = Qt::AlignLeft) {
    p.setFont(font);
    p.setPen(color);
    const QString shown = QFontMetricsF(font).elidedText(text, Qt::ElideRight, r.width());
    p.drawText(r, align | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

} // namespace

qreal TorrentCard::cardHeight(qreal width, const TorrentStatus& torrent) {
    // Cards differ in height only by a check's metrics: the rest is laid out
    // without the card's own texts, which would cost thousands of cards
    // their names parsed at each layout of the grid.
    static QHash<qreal, qreal> bottoms; // by width (main thread)
    auto it = bottoms.constFind(width);
    if (it == bottoms.cend()) {
        const TorrentStatus plain;
        const LibraryItemText text;
        const QImage none;
        const PieceMap empty;
        it = bottoms.insert(
            width,
            Layout(QRectF(0, 0, width, 0), {plain, text, false, false, none, empty}).bottom());
    }
    qreal bottom = *it;
    if (torrent.isChecking())
        bottom += CheckingMetrics::height(torrent, width - 2 * kPadding) + kBlockSpacing;
    return std::ceil(bottom);
}

void TorrentCard::paint(QPainter& p, const QRectF& r, const LibraryItemPaint& item) {
    const Layout l(r, item);
    const LibraryItemText& t = item.text;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(r, kRadius, kRadius);
    p.fillPath(shape, item.hovered ? LibraryStyle::raised() : LibraryStyle::surface());
    p.setClipPath(shape, Qt::IntersectClip);

    // The picture and what lies over it.
    const QImage& art = item.artwork;
    MediaArtwork::paint(p, l.picture, item.torrent, std::nullopt, true, art);
    TransferBadge::paint(p, l.badge.topLeft(), item.torrent);
    if (t.quality) {
        QPainterPath tag;
        tag.addRoundedRect(l.quality, 4, 4);
        p.fillPath(tag, QColor::fromRgbF(0, 0, 0, 0.55f));
        drawText(p, l.quality, qualityFont(), LibraryStyle::text(), *t.quality, Qt::AlignHCenter);
    }
    if (item.selected)
        Symbols::paint(p, l.check, "checkmark.circle.fill", LibraryStyle::accent());

    TransferProgress::paint(p, l.progress, item.torrent, item.map, item.torrent.id);

    drawText(p, l.title, titleFont(), LibraryStyle::text(), t.title);
    drawText(p, l.caption, captionFont(), LibraryStyle::muted(), t.caption);

    // Size · progress, and the rate at the far end.
    const QFont meta = metaFont();
    const QFontMetricsF mf(meta);
    const QString left = t.sizeText + QStringLiteral(" · ") + t.progressText;
    const qreal rateWidth = t.cardRateText.isEmpty() ? 0 : mf.horizontalAdvance(t.cardRateText);
    drawText(p,
             QRectF(l.meta.left(), l.meta.top(), l.meta.width() - rateWidth - 5, l.meta.height()),
             meta, LibraryStyle::muted(), left);
    if (!t.cardRateText.isEmpty())
        drawText(p, l.meta, meta, LibraryStyle::muted(), t.cardRateText, Qt::AlignRight);

    if (t.checking)
        CheckingMetrics::paint(p, l.metrics, item.torrent);

    // Actions.
    Symbols::paint(
        p, QRectF(l.play.left(), l.play.center().y() - kPlaySymbol / 2, kPlaySymbol, kPlaySymbol),
        t.watchSymbol, LibraryStyle::accent());
    drawText(p, l.play.adjusted(kPlaySymbol + 5, 0, 0, 0), playFont(), LibraryStyle::accent(),
             t.watchTitle);
    Symbols::paint(p, l.pause.adjusted(2, 2, -2, -2), t.pauseSymbolName.toStdString(),
                   LibraryStyle::muted());
    Symbols::paint(p, l.details.adjusted(2, 2, -2, -2), "info.circle", LibraryStyle::muted());

    p.setClipping(false);
    const qreal border = item.selected ? 1.5 : 1.0;
    QPainterPath edge;
    edge.addRoundedRect(r.adjusted(border / 2, border / 2, -border / 2, -border / 2),
                        kRadius - border / 2, kRadius - border / 2);
    p.strokePath(edge, QPen(item.selected ? LibraryStyle::accent() : LibraryStyle::line(), border));
    p.restore();
}

PaintedElements TorrentCard::elements(const QRectF& r, const LibraryItemPaint& item) {
    const Layout l(r, item);
    const LibraryItemText& t = item.text;
    using A = PaintedElement::Action;
    PaintedElements e;
    e.push_back(
        {QAccessible::Button, t.cardLabel(), {}, t.name, l.picture, A::select, item.selected});
    e.push_back({QAccessible::StaticText, t.statusText, TransferBadge::tint(item.torrent).name(),
                 QString::fromStdString(item.torrent.error), l.badge, A::none, false});
    if (t.quality)
        e.push_back({QAccessible::StaticText, *t.quality, {}, {}, l.quality, A::none, false});
    if (item.selected)
        e.push_back(
            {QAccessible::StaticText, QStringLiteral("Выбрано"), {}, {}, l.check, A::none, true});
    const bool pieces = TransferProgress::showsPieces(item.torrent, item.map, item.torrent.id);
    e.push_back(
        {QAccessible::ProgressBar,
         pieces ? QStringLiteral("Части файла") : TransferProgress::capsuleLabel(item.torrent),
         pieces ? QString::fromStdString(item.map.summary(std::nullopt)) : t.percent,
         {},
         l.progress,
         A::none,
         false});
    e.push_back({QAccessible::StaticText, t.title, {}, {}, l.title, A::select, false});
    e.push_back({QAccessible::StaticText, t.caption, {}, {}, l.caption, A::select, false});
    e.push_back({QAccessible::StaticText, t.sizeText, {}, {}, l.meta, A::none, false});
    e.push_back({QAccessible::StaticText, t.progressText, {}, {}, l.meta, A::none, false});
    if (!t.cardRateText.isEmpty())
        e.push_back({QAccessible::StaticText, t.cardRateText, {}, {}, l.meta, A::none, false});
    if (t.checking)
        e.push_back(
            {QAccessible::StaticText, t.checkingMetrics, {}, {}, l.metrics, A::none, false});
    e.push_back({QAccessible::Button,
                 t.watchTitle,
                 QString::fromStdString(t.watchSymbol),
                 {},
                 l.play,
                 A::play,
                 false});
    e.push_back({QAccessible::Button, t.pauseLabel, t.pauseSymbolName, t.resumeWording, l.pause,
                 A::pause, false});
    e.push_back({QAccessible::Button, QStringLiteral("Файлы и сведения"),
                 QStringLiteral("info.circle"), QStringLiteral("Файлы и сведения"), l.details,
                 A::details, false});
    return e;
}

} // namespace tevro
