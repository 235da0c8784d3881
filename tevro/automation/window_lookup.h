#pragma once

// The application's windows as the local servers address them: by a short
// name matched against each window's identifier (its object name: "main",
// "player"). Hidden windows count; only listings filter on visibility.
// Main thread only.

#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace tevro {

class WindowLookup {
public:
    // Every application window (menus, pop-ups and tool tips left out):
    // first those the window system knows, in the order they were first
    // shown, then those never shown, by identifier.
    static std::vector<QWidget*> windows();

    // The first window `name` finds: "settings" finds the main window (the
    // settings show inside it), "sheet" the first sheet, any other name the
    // first window whose identifier begins with it (so "" finds the first
    // window). Null when none.
    static QWidget* find(std::string_view name);

    // A sheet: a window-modal dialog shown over its parent window.
    static bool isSheet(const QWidget* window);

    static std::string identifier(const QWidget* window);
};

} // namespace tevro
