#pragma once

// A widget drawn as one picture whose parts (PaintedElement) act as buttons,
// show tooltips and appear to assistive tools as children with their own
// names and roles.

#include <QWidget>

#include "tevro/library/painted_element.h"

namespace tevro {

class PaintedWidget : public QWidget {
    Q_OBJECT
public:
    explicit PaintedWidget(QWidget* parent = nullptr);

    // The parts as laid out at the widget's current size.
    virtual PaintedElements elements() const = 0;

signals:
    // A click on a part with an action.
    void activated(tevro::PaintedElement::Action action);

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Called for a click; the default emits activated().
    virtual void activate(const PaintedElement& element);

private:
    PaintedElement::Action m_pressed = PaintedElement::Action::none;
};

} // namespace tevro
