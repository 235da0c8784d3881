#pragma once

// The few symbols the kit's cards and showroom draw, as strokes and fills of
// their own (the kit brings no icon font).

#include <QColor>
#include <QRectF>

class QPainter;

namespace quorvel::offer_glyphs {

// A cross ("close", "hide") centred in `box`, its arms `size` long.
void cross(QPainter& painter, const QRectF& box, qreal size, qreal weight, const QColor& color);
// An arrow pointing forward in the reading direction, `size` wide.
void arrow(QPainter& painter, const QRectF& box, qreal size, qreal weight, const QColor& color,
           bool rightToLeft);
// A wrapped present with a bow, filling a square of `size` centred in `box`.
void gift(QPainter& painter, const QRectF& box, qreal size, const QColor& color);

} // namespace quorvel::offer_glyphs
