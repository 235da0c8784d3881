#pragma once

// The application's widget style: Fusion, with check boxes, radio buttons,
// text fields and spin boxes drawn to be seen on the black window. Fusion
// outlines them in a shade of the window colour, which on black is black, so
// an unchecked box or an unfocused field vanished.

#include <QProxyStyle>

namespace tevro {

class ApplicationStyle : public QProxyStyle {
    Q_OBJECT
public:
    ApplicationStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;
};

} // namespace tevro
