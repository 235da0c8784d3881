#pragma once

// The control server's command vocabulary: one request target in, one JSON
// reply text out (through `done`, on the main thread, possibly later for the
// routes that wait for the engine).

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "tevro/core/json_value.h"

namespace tevro {

class CommandLayer;
struct ControlRequest;

class ControlRoutes {
public:
    explicit ControlRoutes(CommandLayer& commands) : m_commands(commands) {}

    void route(std::string_view target, std::function<void(std::string)> done);

    // Compact, keys sorted, invalid UTF-8 repaired; "{}" for anything but
    // an object or array.
    static std::string json(const Json& value);

private:
    using Done = std::function<void(std::string)>;

    // The player's and the windows' routes; false when `path` is none of them.
    bool routePlayer(const ControlRequest& request, const Done& done);
    bool routeWindows(const ControlRequest& request, const Done& done);

    CommandLayer& m_commands;
    // Expires with the routes, for the delayed work they leave behind.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace tevro
