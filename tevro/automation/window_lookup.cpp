#include "tevro/automation/window_lookup.h"

#include <algorithm>

#include <QApplication>
#include <QDialog>
#include <QWidget>
#include <QWindow>

namespace tevro {

namespace {

bool isApplicationWindow(const QWidget* w) {
    if (!w->isWindow())
        return false;
    switch (w->windowType()) {
    case Qt::Window:
    case Qt::Dialog:
    case Qt::Sheet:
    case Qt::Tool:
        return true;
    default:
        return false;
    }
}

} // namespace

std::string WindowLookup::identifier(const QWidget* window) {
    return window->objectName().toStdString();
}

bool WindowLookup::isSheet(const QWidget* window) {
    return qobject_cast<const QDialog*>(window) && window->parentWidget() &&
           window->windowModality() == Qt::WindowModal && window->isVisible();
}

std::vector<QWidget*> WindowLookup::windows() {
    // A program without widgets (a plain QCoreApplication) has no windows.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return {};
    std::vector<QWidget*> shown;
    for (QWindow* handle : QGuiApplication::topLevelWindows()) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->windowHandle() == handle && isApplicationWindow(w))
                shown.push_back(w);
    }
    std::vector<QWidget*> never;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (isApplicationWindow(w) && std::ranges::find(shown, w) == shown.end())
            never.push_back(w);
    std::ranges::stable_sort(never, {}, [](QWidget* w) { return w->objectName(); });
    shown.insert(shown.end(), never.begin(), never.end());
    return shown;
}

QWidget* WindowLookup::find(std::string_view name) {
    // Sheets are windows of their own here, so the list holds every sheet
    // there is and the search by parent finds nothing more.
    std::string_view prefix = name == "settings" ? std::string_view("main") : name;
    for (QWidget* w : windows()) {
        if (name == "sheet" ? isSheet(w) : identifier(w).starts_with(prefix))
            return w;
    }
    return nullptr;
}

} // namespace tevro
