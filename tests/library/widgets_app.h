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

#include <string>
#include <vector>

#include <QAccessible>
#include <QString>

namespace tevro {
class LibraryItemView;
}

namespace tevro::test {

// One accessible child of a library item as assistive tools read it.
struct AccessibleNode {
    QAccessible::Role role;
    QString name;
    QString value;
    QString description;
    QRect rect; // in the view's viewport coordinates
    bool selected = false;
};

// The torrent's item in the view, as the view's accessible interface gives it.
QAccessibleInterface* accessibleItem(LibraryItemView& view, const std::string& id);
std::vector<AccessibleNode> accessibleChildren(LibraryItemView& view, const std::string& id);
// The first child whose name is `name`; fails the test when there is none.
AccessibleNode accessibleNamed(LibraryItemView& view, const std::string& id, const QString& name);
bool hasAccessible(LibraryItemView& view, const std::string& id, const QString& name);
// Runs the named child's press action, as a screen reader would; false when
// there is no such child or it cannot be pressed.
bool pressAccessible(LibraryItemView& view, const std::string& id, const QString& name);

} // namespace tevro::test
