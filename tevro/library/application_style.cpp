#include "tevro/library/application_style.h"

#include <QAbstractSpinBox>
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

// A quiet line round an unfocused text field or spin box; Fusion draws the
// focused one in the highlight colour itself.
void drawFieldOutline(QPainter* painter, const QRect& rect) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.22f), 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    painter->restore();
}

} // namespace

ApplicationStyle::ApplicationStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void ApplicationStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                     QPainter* painter, const QWidget* widget) const {
    if (element == PE_PanelLineEdit) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        const bool inSpinBox =
            widget && qobject_cast<const QAbstractSpinBox*>(widget->parentWidget());
        if (frame && frame->lineWidth > 0 && !inSpinBox && !(option->state & State_HasFocus))
            drawFieldOutline(painter, option->rect);
        return;
    }
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

void ApplicationStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                          QPainter* painter, const QWidget* widget) const {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control == CC_SpinBox)
        if (auto* spin = qstyleoption_cast<const QStyleOptionSpinBox*>(option);
            spin && spin->frame && !(option->state & State_HasFocus))
            drawFieldOutline(painter, option->rect);
}

} // namespace tevro
