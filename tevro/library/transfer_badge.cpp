#include "tevro/library/transfer_badge.h"

#include <cmath>

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"
#include "tevro/library/torrent_status_text.h"

namespace tevro {

namespace {
constexpr qreal kPadX = 8;
constexpr qreal kPadY = 5;
constexpr qreal kSymbol = 11;
constexpr qreal kGap = 4;

QFont badgeFont() {
    return LibraryStyle::font(10, QFont::Medium);
}
} // namespace

TransferBadge::TransferBadge(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setTorrent({});
}

QColor TransferBadge::tint(const TorrentStatus& t) {
    if (!t.error.empty())
        return LibraryStyle::errorText();
    if (t.finished || t.seeding)
        return LibraryStyle::mint();
    return LibraryStyle::text();
}

QSizeF TransferBadge::size(const TorrentStatus& t) {
    const QFontMetricsF fm(badgeFont());
    const QString text = QString::fromStdString(TorrentStatusText::statusText(t));
    return {kPadX * 2 + kSymbol + kGap + fm.horizontalAdvance(text),
            kPadY * 2 + std::max(kSymbol, fm.height())};
}

void TransferBadge::paint(QPainter& p, const QPointF& topLeft, const TorrentStatus& t) {
    const QSizeF s = size(t);
    const QRectF r(topLeft, s);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    capsule.addRoundedRect(r, s.height() / 2, s.height() / 2);
    p.fillPath(capsule, QColor::fromRgbF(0, 0, 0, 0.55f));
    const QColor fg = tint(t);
    const QRectF inner = r.adjusted(kPadX, kPadY, -kPadX, -kPadY);
    Symbols::paint(p, QRectF(inner.left(), inner.center().y() - kSymbol / 2, kSymbol, kSymbol),
                   TorrentStatusText::statusSymbol(t), fg);
    p.setFont(badgeFont());
    p.setPen(fg);
    p.drawText(inner.adjusted(kSymbol + kGap, 0, 1, 0),
               Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
               QString::fromStdString(TorrentStatusText::statusText(t)));
    p.restore();
}

void TransferBadge::setTorrent(const TorrentStatus& torrent) {
    m_torrent = torrent;
    setAccessibleName(QString::fromStdString(TorrentStatusText::statusText(m_torrent)));
    setToolTip(QString::fromStdString(m_torrent.error));
    updateGeometry();
    update();
}

QSize TransferBadge::sizeHint() const {
    const QSizeF s = size(m_torrent);
    return {int(std::ceil(s.width())), int(std::ceil(s.height()))};
}

void TransferBadge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, QPointF(0, 0), m_torrent);
}

} // namespace tevro
