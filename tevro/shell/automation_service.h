#pragma once

// The automation server of a running application: its own command layer
// over the shared engine and the sources the shell lends, the tools, and the
// listener in the data folder's "automation" folder, alive until quit.

#include <filesystem>
#include <memory>

#include "tevro/automation/command_layer.h"

namespace tevro {

class AutomationAPI;
class AutomationServer;
class TorrentEngine;

class AutomationService {
public:
    AutomationService(TorrentEngine& engine, CommandLayer::Sources sources,
                      const std::filesystem::path& dataFolder);
    ~AutomationService();

    void start();
    void stop();
    AutomationServer& server() const { return *m_server; }

private:
    std::unique_ptr<CommandLayer> m_commands;
    std::unique_ptr<AutomationAPI> m_api;
    std::unique_ptr<AutomationServer> m_server;
};

} // namespace tevro
