#pragma once

// The control server of a running application: the command layer over the
// shared engine, its routes and the loopback listener, alive until quit.

#include <cstdint>
#include <functional>
#include <memory>

#include "tevro/automation/command_layer.h"

namespace tevro {

class ControlRoutes;
class ControlServer;
class MainUIState;
class TorrentEngine;

class ControlService {
public:
    // What the application lends the command layer: the main window's shared
    // state, the shared player and the window opener; `quit` runs the
    // application's orderly quit. Every source reads the shared objects when
    // it runs, so they may be built before the windows.
    static CommandLayer::Sources sources(std::function<void()> quit);

    // The "ui" document of `ui`, and a "/select" query applied to it.
    static Json uiState(const MainUIState& ui);
    static void select(MainUIState& ui, const CommandLayer::QueryMap& query);

    ControlService(TorrentEngine& engine, CommandLayer::Sources sources);
    ~ControlService();

    // Listens on 127.0.0.1:`port`; false when the port cannot be had.
    bool start(std::uint16_t port);
    void stop();
    CommandLayer& commands() const { return *m_commands; }

private:
    std::unique_ptr<CommandLayer> m_commands;
    std::unique_ptr<ControlRoutes> m_routes;
    std::unique_ptr<ControlServer> m_server;
};

} // namespace tevro
