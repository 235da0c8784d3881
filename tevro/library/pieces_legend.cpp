#include "tevro/library/pieces_legend.h"

#include <cmath>

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include "tevro/core/piece_map.h"
#include "tevro/library/library_style.h"
#include "tevro/library/pieces_bar.h"

namespace tevro {

namespace {

constexpr qreal kSwatch = 9;
constexpr qreal kSwatchGap = 5;
constexpr qreal kRowSpacing = 16;
constexpr qreal kColumnSpacing = 5;

QString title(PieceState state) {
    switch (state) {
    case PieceState::waiting:
        return QStringLiteral("Ожидание");
    case PieceState::downloaded:
        return QStringLiteral("Скачано");
    case PieceState::receiving:
        return QStringLiteral("Получение / запись");
    case PieceState::unavailable:
        return QStringLiteral("Нет у пиров");
    }
    return {};
}

QFont legendFont() {
    return LibraryStyle::font(10);
}

qreal labelWidth(PieceState state) {
    return kSwatch + kSwatchGap + QFontMetricsF(legendFont()).horizontalAdvance(title(state));
}

qreal lineHeight() {
    return std::max(kSwatch, QFontMetricsF(legendFont()).height());
}

qreal rowWidth() {
    qreal w = 0;
    for (PieceState s : kAllPieceStates)
        w += labelWidth(s);
    return w + kRowSpacing * (kAllPieceStates.size() - 1);
}

qreal columnWidth() {
    qreal w = 0;
    for (PieceState s : kAllPieceStates)
        w = std::max(w, labelWidth(s));
    return w;
}

} // namespace

PiecesLegend::PiecesLegend(QWidget* parent) : QWidget(parent) {
    QStringList names;
    for (PieceState s : kAllPieceStates)
        names << title(s);
    setAccessibleName(names.join(QStringLiteral(", ")));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

bool PiecesLegend::fitsRow(int width) const {
    return std::ceil(rowWidth()) <= width;
}

QSize PiecesLegend::sizeHint() const {
    return {int(std::ceil(rowWidth())), int(std::ceil(lineHeight()))};
}

QSize PiecesLegend::minimumSizeHint() const {
    return {int(std::ceil(columnWidth())), int(std::ceil(lineHeight()))};
}

int PiecesLegend::heightForWidth(int width) const {
    if (fitsRow(width))
        return int(std::ceil(lineHeight()));
    return int(std::ceil(4 * lineHeight() + 3 * kColumnSpacing));
}

void PiecesLegend::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(legendFont());
    const bool row = fitsRow(width());
    const qreal h = lineHeight();
    qreal x = 0;
    qreal y = row ? (height() - h) / 2 : 0;
    for (PieceState s : kAllPieceStates) {
        QPainterPath swatch;
        swatch.addRoundedRect(QRectF(x, y + (h - kSwatch) / 2, kSwatch, kSwatch), 2, 2);
        p.fillPath(swatch, PiecesBar::color(s));
        p.setPen(LibraryStyle::muted());
        p.drawText(QRectF(x + kSwatch + kSwatchGap, y, width(), h),
                   Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, title(s));
        if (row)
            x += labelWidth(s) + kRowSpacing;
        else
            y += h + kColumnSpacing;
    }
}

} // namespace tevro
