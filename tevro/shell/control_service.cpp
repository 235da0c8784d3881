#include "tevro/shell/control_service.h"

#include <cstdio>

#include "tevro/automation/command_layer.h"
#include "tevro/automation/control_routes.h"
#include "tevro/automation/control_server.h"

namespace tevro {

ControlService::ControlService(TorrentEngine& engine)
    : m_commands(std::make_unique<CommandLayer>(engine)),
      m_routes(std::make_unique<ControlRoutes>(*m_commands)),
      m_server(std::make_unique<ControlServer>(*m_routes)) {}

ControlService::~ControlService() {
    stop();
}

bool ControlService::start(std::uint16_t port) {
    if (m_server->start(port))
        return true;
    std::fprintf(stderr, "tevro: the control server cannot listen on 127.0.0.1:%u\n",
                 unsigned(port));
    return false;
}

void ControlService::stop() {
    if (m_server)
        m_server->stop();
}

} // namespace tevro
