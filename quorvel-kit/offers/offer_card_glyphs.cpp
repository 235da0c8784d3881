#include "quorvel-kit/offers/offer_card_glyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace quorvel::offer_glyphs {

namespace {

QPen strokePen(const QColor& color, qreal weight) {
    QPen pen(color, weight);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

} // namespace

void cross(QPainter& painter, const QRectF& box, qreal size, qreal weight, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(strokePen(color, weight));
    const QPointF c = box.center();
    const qreal h = size / 2;
    painter.drawLine(c + QPointF(-h, -h), c + QPointF(h, h));
    painter.drawLine(c + QPointF(-h, h), c + QPointF(h, -h));
    painter.restore();
}

void arrow(QPainter& painter, const QRectF& box, qreal size, qreal weight, const QColor& color,
           bool rightToLeft) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(strokePen(color, weight));
    painter.translate(box.center());
    if (rightToLeft)
        painter.scale(-1, 1);
    const qreal h = size / 2;
    painter.drawLine(QPointF(-h, 0), QPointF(h, 0));
    QPainterPath head;
    head.moveTo(h - size * 0.42, -size * 0.42);
    head.lineTo(h, 0);
    head.lineTo(h - size * 0.42, size * 0.42);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(head);
    painter.restore();
}

void gift(QPainter& painter, const QRectF& box, qreal size, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF s(box.center() - QPointF(size / 2, size / 2), QSizeF(size, size));
    const qreal u = size / 16;
    QPainterPath body;
    // Lid, box, and a gap for the ribbon down the middle.
    body.addRoundedRect(QRectF(s.left() + u, s.top() + 5 * u, 14 * u, 3.5 * u), u, u);
    body.addRoundedRect(QRectF(s.left() + 2 * u, s.top() + 9.5 * u, 12 * u, 6.5 * u), u, u);
    QPainterPath ribbon;
    ribbon.addRect(QRectF(s.center().x() - 0.9 * u, s.top() + 4 * u, 1.8 * u, 12 * u));
    painter.fillPath(body.subtracted(ribbon), color);
    // The bow: two loops over the lid.
    painter.setPen(QPen(color, 1.5 * u));
    painter.setBrush(Qt::NoBrush);
    const qreal cx = s.center().x();
    painter.drawEllipse(QRectF(cx - 5 * u, s.top() + 0.8 * u, 4.6 * u, 3.8 * u));
    painter.drawEllipse(QRectF(cx + 0.4 * u, s.top() + 0.8 * u, 4.6 * u, 3.8 * u));
    painter.restore();
}

} // namespace quorvel::offer_glyphs
