#pragma once

// A rectangle whose two top corners are rounded and whose bottom corners stay
// square: the clip of a picture that runs down to a card's bottom edge.

#include <QPainterPath>
#include <QRectF>

namespace quorvel {

struct UnevenCorners {
    qreal radius = 0;

    // The corners are quadratic curves whose control point is the sharp
    // corner. The radius is used as given, neither clamped nor made positive.
    QPainterPath path(const QRectF& rect) const;
};

} // namespace quorvel
