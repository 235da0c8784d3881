#include "tevro/library/torrent_list_row.h"

#include <cmath>

#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

#include "tevro/library/library_style.h"
#include "tevro/library/media_artwork.h"
#include "tevro/library/symbols.h"
#include "tevro/library/transfer_progress.h"

namespace tevro {

namespace {

constexpr qreal kSpacing = 16;
constexpr qreal kLineSpacing = 7;
constexpr qreal kNumbersWidth = 122;
constexpr qreal kPlayWidth = 30;
constexpr qreal kMenuWidth = 24;
constexpr qreal kButtonHeight = 32;
constexpr qreal kBarHeight = 5;
constexpr qreal kBarMaxWidth = 280;

QFont titleFont() {
    return LibraryStyle::font(15, QFont::Medium);
}
QFont smallFont() {
    return LibraryStyle::font(11);
}
QFont percentFont() {
    return LibraryStyle::font(13, QFont::Medium);
}
QFont timeFont() {
    return LibraryStyle::font(10);
}

struct Layout {
    QRectF picture, title, caption, status, progress, titleButton, percent, rate, timeLeft, play,
        menu;

    Layout(const QRectF& r, const LibraryItemPaint& item) {
        const QRectF in = r.adjusted(TorrentListRow::kPadding, TorrentListRow::kPadding,
                                     -TorrentListRow::kPadding, -TorrentListRow::kPadding);
        const qreal cy = in.center().y();
        picture = QRectF(in.left(), cy - TorrentListRow::kPictureHeight / 2,
                         TorrentListRow::kPictureWidth, TorrentListRow::kPictureHeight);
        menu = QRectF(in.right() - kMenuWidth, cy - kButtonHeight / 2, kMenuWidth, kButtonHeight);
        play = QRectF(menu.left() - kSpacing - kPlayWidth, cy - kButtonHeight / 2, kPlayWidth,
                      kButtonHeight);
        const qreal numbersLeft = play.left() - kSpacing - kNumbersWidth;
        const qreal textLeft = picture.right() + kSpacing;
        const qreal textWidth = std::max(0.0, numbersLeft - kSpacing - textLeft);

        const qreal titleH = QFontMetricsF(titleFont()).height();
        const qreal smallH = QFontMetricsF(smallFont()).height();
        const qreal blockH = titleH + 2 * smallH + kBarHeight + 3 * kLineSpacing;
        qreal y = cy - blockH / 2;
        title = QRectF(textLeft, y, textWidth, titleH);
        y += titleH + kLineSpacing;
        caption = QRectF(textLeft, y, textWidth, smallH);
        y += smallH + kLineSpacing;
        status = QRectF(textLeft, y, textWidth, smallH);
        y += smallH + kLineSpacing;
        progress = QRectF(textLeft, y, std::min(textWidth, kBarMaxWidth), kBarHeight);
        titleButton = QRectF(textLeft, in.top(), textWidth, in.height());

        const qreal percentH = QFontMetricsF(percentFont()).height();
        const qreal timeH = QFontMetricsF(timeFont()).height();
        const qreal numbersH =
            percentH + kLineSpacing + smallH + (item.text.checking ? kLineSpacing + timeH : 0);
        y = cy - numbersH / 2;
        percent = QRectF(numbersLeft, y, kNumbersWidth, percentH);
        y += percentH + kLineSpacing;
        rate = QRectF(numbersLeft, y, kNumbersWidth, smallH);
        y += smallH + kLineSpacing;
        if (item.text.checking)
            timeLeft = QRectF(numbersLeft, y, kNumbersWidth, timeH);
    }
};

qreal drawText(QPainter& p, const QRectF& r, const QFont& font, const QColor& color,
               const QString& text, Qt::Alignment align = Qt::AlignLeft) {
    p.setFont(font);
    p.setPen(color);
    const QFontMetricsF fm(font);
    const QString shown = fm.elidedText(text, Qt::ElideRight, r.width());
    p.drawText(r, align | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    return fm.horizontalAdvance(shown);
}

QColor statusColor(const LibraryItemText& t) {
    return t.hasError ? LibraryStyle::red() : LibraryStyle::accent();
}

} // namespace

void TorrentListRow::paint(QPainter& p, const QRectF& r, const LibraryItemPaint& item) {
    const Layout l(r, item);
    const LibraryItemText& t = item.text;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF edgeRect = r.adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(edgeRect, kRadius, kRadius);
    p.fillPath(shape, item.selected ? LibraryStyle::raised() : LibraryStyle::surface());
    p.strokePath(shape, QPen(item.selected ? LibraryStyle::accent() : LibraryStyle::line(), 1));

    p.save();
    QPainterPath picture;
    picture.addRoundedRect(l.picture, 8, 8);
    p.setClipPath(picture, Qt::IntersectClip);
    MediaArtwork::paint(p, l.picture, item.torrent, std::nullopt, true, item.artwork);
    p.restore();

    drawText(p, l.title, titleFont(), LibraryStyle::text(), t.title);
    drawText(p, l.caption, smallFont(), LibraryStyle::muted(), t.caption);
    const qreal statusWidth = drawText(p, l.status, smallFont(), statusColor(t), t.statusText);
    drawText(p, l.status.adjusted(statusWidth + 8, 0, 0, 0), smallFont(), LibraryStyle::muted(),
             QStringLiteral("· ") + t.sizeText);
    TransferProgress::paint(p, l.progress, item.torrent, item.map, item.torrent.id);

    drawText(p, l.percent, percentFont(), LibraryStyle::text(), t.percent, Qt::AlignRight);
    drawText(p, l.rate, smallFont(), LibraryStyle::muted(), t.rowRateText, Qt::AlignRight);
    if (t.checking)
        drawText(p, l.timeLeft, timeFont(), LibraryStyle::muted(), t.timeLeftText, Qt::AlignRight);

    Symbols::paint(p, l.play.adjusted(5, 6, -5, -6), t.watchSymbol, LibraryStyle::accent());
    Symbols::paint(p, l.menu.adjusted(2, 8, -2, -8), "ellipsis", LibraryStyle::muted());
    p.restore();
}

PaintedElements TorrentListRow::elements(const QRectF& r, const LibraryItemPaint& item) {
    const Layout l(r, item);
    const LibraryItemText& t = item.text;
    using A = PaintedElement::Action;
    PaintedElements e;
    e.push_back({QAccessible::Button,
                 QStringLiteral("Выбрать ") + t.title,
                 {},
                 {},
                 l.picture,
                 A::select,
                 item.selected});
    e.push_back({QAccessible::Button, t.title, {}, t.name, l.titleButton, A::select, false});
    e.push_back({QAccessible::StaticText, t.caption, {}, {}, l.caption, A::none, false});
    e.push_back({QAccessible::StaticText,
                 t.statusText,
                 statusColor(t).name(),
                 {},
                 l.status,
                 A::none,
                 false});
    e.push_back({QAccessible::StaticText,
                 QStringLiteral("· ") + t.sizeText,
                 {},
                 {},
                 l.status,
                 A::none,
                 false});
    const bool pieces = TransferProgress::showsPieces(item.torrent, item.map, item.torrent.id);
    e.push_back(
        {QAccessible::ProgressBar,
         pieces ? QStringLiteral("Части файла") : TransferProgress::capsuleLabel(item.torrent),
         pieces ? QString::fromStdString(item.map.summary(std::nullopt)) : t.percent,
         {},
         l.progress,
         A::none,
         false});
    e.push_back({QAccessible::StaticText, t.percent, {}, {}, l.percent, A::none, false});
    e.push_back({QAccessible::StaticText, t.rowRateText, {}, {}, l.rate, A::none, false});
    if (t.checking)
        e.push_back({QAccessible::StaticText, t.timeLeftText, {}, {}, l.timeLeft, A::none, false});
    e.push_back({QAccessible::Button, t.watchTitle, QString::fromStdString(t.watchSymbol),
                 t.watchTitle, l.play, A::play, false});
    e.push_back({QAccessible::ButtonMenu,
                 QStringLiteral("Действия с торрентом"),
                 {},
                 {},
                 l.menu,
                 A::menu,
                 false});
    return e;
}

QMenu* TorrentListRow::menu(QWidget* parent, const LibraryItemText& text,
                            std::function<void()> pause, std::function<void()> details) {
    auto* m = new QMenu(parent);
    m->setAttribute(Qt::WA_DeleteOnClose);
    m->setAccessibleName(QStringLiteral("Действия с торрентом"));
    QObject::connect(m->addAction(text.resumeWording), &QAction::triggered, m, std::move(pause));
    QObject::connect(m->addAction(QStringLiteral("Файлы и сведения")), &QAction::triggered, m,
                     std::move(details));
    return m;
}

} // namespace tevro
