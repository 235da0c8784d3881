#include "tevro/shell/window_opener.h"

#include "tevro/shell/main_ui_state.h"

namespace tevro {

WindowOpener& WindowOpener::shared() {
    static WindowOpener opener(&MainUIState::shared());
    return opener;
}

void WindowOpener::open(const std::string& identifier) {
    if (identifier == "settings") {
        if (m_ui)
            m_ui->setShowSettings(true);
        if (m_action)
            m_action("main");
        return;
    }
    if (m_action)
        m_action(identifier);
}

} // namespace tevro
