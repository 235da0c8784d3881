#pragma once

// One part of an item that is painted rather than made of widgets (a button,
// a text, a bar): where it is, what it says and what a click on it does.
// Painted widgets and their delegates build the same list from the same
// layout, so clicks, tooltips and accessible texts match what is drawn.

#include <vector>

#include <QAccessible>
#include <QRectF>
#include <QString>

namespace tevro {

struct PaintedElement {
    enum class Action { none, select, play, pause, details, menu };

    QAccessible::Role role = QAccessible::StaticText;
    QString name;
    QString value; // a bar's value, a text's colour, ...
    QString toolTip;
    QRectF rect;
    Action action = Action::none;
    bool selected = false;
};

using PaintedElements = std::vector<PaintedElement>;

// The element under `pos` that reacts to clicks, else the topmost with a tooltip.
const PaintedElement* clickableAt(const PaintedElements& elements, const QPointF& pos);
const PaintedElement* toolTipAt(const PaintedElements& elements, const QPointF& pos);

} // namespace tevro
