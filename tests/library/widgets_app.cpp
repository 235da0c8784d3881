#include "tests/library/widgets_app.h"

#include <cstdlib>

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include "tevro/library/library_item_view.h"
#include "tevro/library/library_style.h"
#include "tevro/library/torrent_list_model.h"

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

QAccessibleInterface* accessibleItem(LibraryItemView& view, const std::string& id) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&view);
    const auto row = view.torrentModel() ? view.torrentModel()->row(id) : std::nullopt;
    if (!iface || !row)
        return nullptr;
    return iface->child(*row);
}

std::vector<AccessibleNode> accessibleChildren(LibraryItemView& view, const std::string& id) {
    std::vector<AccessibleNode> out;
    QAccessibleInterface* item = accessibleItem(view, id);
    if (!item)
        return out;
    for (int i = 0; i < item->childCount(); ++i) {
        QAccessibleInterface* c = item->child(i);
        if (!c)
            continue;
        QRect r = c->rect();
        r.moveTopLeft(view.viewport()->mapFromGlobal(r.topLeft()));
        out.push_back({c->role(), c->text(QAccessible::Name), c->text(QAccessible::Value),
                       c->text(QAccessible::Description), r, bool(c->state().selected)});
    }
    return out;
}

AccessibleNode accessibleNamed(LibraryItemView& view, const std::string& id, const QString& name) {
    for (const AccessibleNode& n : accessibleChildren(view, id))
        if (n.name == name)
            return n;
    ADD_FAILURE() << "no accessible child named " << name.toStdString();
    return {};
}

bool hasAccessible(LibraryItemView& view, const std::string& id, const QString& name) {
    for (const AccessibleNode& n : accessibleChildren(view, id))
        if (n.name == name)
            return true;
    return false;
}

bool pressAccessible(LibraryItemView& view, const std::string& id, const QString& name) {
    QAccessibleInterface* item = accessibleItem(view, id);
    for (int i = 0; item && i < item->childCount(); ++i) {
        QAccessibleInterface* c = item->child(i);
        if (!c || c->text(QAccessible::Name) != name)
            continue;
        QAccessibleActionInterface* actions = c->actionInterface();
        if (!actions || !actions->actionNames().contains(QAccessibleActionInterface::pressAction()))
            return false;
        actions->doAction(QAccessibleActionInterface::pressAction());
        return true;
    }
    return false;
}

} // namespace tevro::test
