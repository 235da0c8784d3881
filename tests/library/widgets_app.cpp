#include "tests/library/widgets_app.h"

#include <cstdlib>

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include "tevro/library/library_style.h"

namespace tevro::test {

void ensureWidgetsApp() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    static int argc = 1;
    static char name[] = "library_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    LibraryStyle::apply(*app);
}

QImage render(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace tevro::test
