#pragma once

// The control server of a running application: the command layer over the
// shared engine, its routes and the loopback listener, alive until quit.

#include <cstdint>
#include <memory>

namespace tevro {

class CommandLayer;
class ControlRoutes;
class ControlServer;
class TorrentEngine;

class ControlService {
public:
    explicit ControlService(TorrentEngine& engine);
    ~ControlService();

    // Listens on 127.0.0.1:`port`; false when the port cannot be had.
    bool start(std::uint16_t port);
    void stop();

private:
    std::unique_ptr<CommandLayer> m_commands;
    std::unique_ptr<ControlRoutes> m_routes;
    std::unique_ptr<ControlServer> m_server;
};

} // namespace tevro
