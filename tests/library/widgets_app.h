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

#include <vector>

#include <QAccessible>
#include <QString>

namespace tevro::test {

// One accessible child of a widget as assistive tools read it.
struct AccessibleNode {
    QAccessible::Role role;
    QString name;
    QString value;
    QString description;
    QRect rect; // in the widget's coordinates
    bool selected = false;
};

std::vector<AccessibleNode> accessibleChildren(QWidget& widget);
// The first child whose name is `name`; fails the test when there is none.
AccessibleNode accessibleNamed(QWidget& widget, const QString& name);
bool hasAccessible(QWidget& widget, const QString& name);

} // namespace tevro::test
