#include "tevro/shell/automation_service.h"

#include "tevro/automation/automation_api.h"
#include "tevro/automation/automation_server.h"

namespace tevro {

AutomationService::AutomationService(TorrentEngine& engine, CommandLayer::Sources sources,
                                     const std::filesystem::path& dataFolder)
    : m_commands(std::make_unique<CommandLayer>(engine, std::move(sources))),
      m_api(std::make_unique<AutomationAPI>(*m_commands)) {
    AutomationAPI* api = m_api.get();
    m_server = std::make_unique<AutomationServer>(
        dataFolder / "automation", [api](const std::string& name, const Json& arguments,
                                         std::function<void(AutomationServer::Result)> done) {
            api->call(name, arguments, std::move(done));
        });
}

AutomationService::~AutomationService() {
    // The server first: no reply may reach the tools once they are gone.
    m_server.reset();
}

void AutomationService::start() {
    m_server->start();
}

void AutomationService::stop() {
    m_server->stop();
}

} // namespace tevro
