#include "tevro/library/application_style.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleFactory>
#include <QStyleOption>

#include "tevro/library/library_style.h"

namespace tevro {

namespace {

QColor outline() {
    return QColor::fromRgbF(1, 1, 1, 0.45f);
}

} // namespace

ApplicationStyle::ApplicationStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void ApplicationStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                     QPainter* painter, const QWidget* widget) const {
    if (element != PE_IndicatorCheckBox && element != PE_IndicatorRadioButton) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const bool on = option->state & (State_On | State_NoChange);
    const bool enabled = option->state & State_Enabled;
    const QRectF box = QRectF(option->rect).adjusted(1.5, 1.5, -1.5, -1.5);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setOpacity(enabled ? 1.0 : 0.4);
    QPainterPath shape;
    if (element == PE_IndicatorRadioButton)
        shape.addEllipse(box);
    else
        shape.addRoundedRect(box, 3, 3);
    if (on) {
        painter->fillPath(shape, LibraryStyle::accent());
    } else {
        painter->setPen(QPen(outline(), 1.2));
        painter->drawPath(shape);
    }
    if (on) {
        const QColor mark = LibraryStyle::background();
        if (element == PE_IndicatorRadioButton) {
            const qreal r = box.width() / 5;
            painter->setPen(Qt::NoPen);
            painter->setBrush(mark);
            painter->drawEllipse(box.center(), r, r);
        } else {
            painter->setPen(QPen(mark, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            const qreal w = box.width(), h = box.height();
            if (option->state & State_NoChange) {
                painter->drawLine(QPointF(box.left() + w * 0.25, box.center().y()),
                                  QPointF(box.right() - w * 0.25, box.center().y()));
            } else {
                QPainterPath check;
                check.moveTo(box.left() + w * 0.22, box.top() + h * 0.52);
                check.lineTo(box.left() + w * 0.42, box.top() + h * 0.72);
                check.lineTo(box.left() + w * 0.78, box.top() + h * 0.30);
                painter->drawPath(check);
            }
        }
    }
    painter->restore();
}

} // namespace tevro
