#include "quorvel-kit/offers/uneven_corners.h"

namespace quorvel {

QPainterPath UnevenCorners::path(const QRectF& rect) const {
    const qreal r = radius;
    QPainterPath path;
    path.moveTo(rect.left(), rect.bottom());
    path.lineTo(rect.left(), rect.top() + r);
    path.quadTo(rect.topLeft(), QPointF(rect.left() + r, rect.top()));
    path.lineTo(rect.right() - r, rect.top());
    path.quadTo(rect.topRight(), QPointF(rect.right(), rect.top() + r));
    path.lineTo(rect.right(), rect.bottom());
    path.closeSubpath();
    return path;
}

} // namespace quorvel
