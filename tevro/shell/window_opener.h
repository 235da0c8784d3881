#pragma once

// Opens the application's windows by identifier ("main", "player",
// "settings") for code that has no window of its own: menus and the local
// servers. The action is stored by the windows as they are shown.

#include <functional>
#include <string>

namespace tevro {

class MainUIState;

class WindowOpener {
public:
    using Action = std::function<void(const std::string& identifier)>;

    static WindowOpener& shared();

    explicit WindowOpener(MainUIState* ui = nullptr) : m_ui(ui) {}

    // Replaced by every window as it is shown.
    void setAction(Action action) { m_action = std::move(action); }
    bool hasAction() const { return bool(m_action); }

    // "settings" shows the settings inside "main" (the flag is set even with
    // no action yet); any other identifier goes to the action unchanged.
    void open(const std::string& identifier);

private:
    MainUIState* m_ui = nullptr;
    Action m_action;
};

} // namespace tevro
