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

#include <gtest/gtest.h>

namespace tevro::test {

std::vector<AccessibleNode> accessibleChildren(QWidget& widget) {
    std::vector<AccessibleNode> out;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&widget);
    if (!iface)
        return out;
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* c = iface->child(i);
        if (!c)
            continue;
        QRect r = c->rect();
        r.moveTopLeft(widget.mapFromGlobal(r.topLeft()));
        out.push_back({c->role(), c->text(QAccessible::Name), c->text(QAccessible::Value),
                       c->text(QAccessible::Description), r, bool(c->state().selected)});
    }
    return out;
}

AccessibleNode accessibleNamed(QWidget& widget, const QString& name) {
    for (const AccessibleNode& n : accessibleChildren(widget))
        if (n.name == name)
            return n;
    ADD_FAILURE() << "no accessible child named " << name.toStdString();
    return {};
}

bool hasAccessible(QWidget& widget, const QString& name) {
    for (const AccessibleNode& n : accessibleChildren(widget))
        if (n.name == name)
            return true;
    return false;
}

} // namespace tevro::test
