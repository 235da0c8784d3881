#pragma once

#include <QColor>
#include <QImage>

class QWidget;

namespace tevro::test {

// One QApplication with the library's palette for the whole test program.
void ensureWidgetsApp();

// The widget drawn at scale 1 into an image.
QImage render(QWidget& widget);

// Whether two colours differ by at most `tolerance` in each channel.
bool near(const QColor& a, const QColor& b, int tolerance = 6);

} // namespace tevro::test
