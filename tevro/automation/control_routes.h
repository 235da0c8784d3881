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
    // Where a reply goes: its HTTP status and its JSON text. A served request
    // answers 200; a refusal answers one of the statuses below with the body
    // {"error": word}.
    using Send = std::function<void(int status, std::string body)>;

    static constexpr int kOk = 200;
    // A key missing, unreadable, out of range or naming nothing; a target
    // that is no URL; a malformed head.
    static constexpr int kBadRequest = 400;
    static constexpr int kForbidden = 403;
    static constexpr int kNotFound = 404; // no such route
    static constexpr int kTimeout = 408;  // the head did not arrive in time
    static constexpr int kTooLarge = 413; // the head does not end within its limit
    // A well-formed command the engine refused (a torrent it cannot add,
    // settings it cannot keep).
    static constexpr int kUnprocessable = 422;

    explicit ControlRoutes(CommandLayer& commands) : m_commands(commands) {}

    void route(std::string_view target, Send send);

    // Compact, keys sorted, invalid UTF-8 repaired; "{}" for anything but
    // an object or array.
    static std::string json(const Json& value);
    static std::string errorBody(const std::string& word) { return json(Json{{"error", word}}); }

private:
    // A route's reply: a body alone is served, a refusal carries its status.
    struct Done {
        Send send;
        void operator()(std::string body) const { send(kOk, std::move(body)); }
        void refuse(int status, const std::string& word) const { send(status, errorBody(word)); }
    };

    // The player's and the windows' routes; false when `path` is none of them.
    bool routePlayer(const ControlRequest& request, const Done& done);
    bool routeWindows(const ControlRequest& request, const Done& done);

    CommandLayer& m_commands;
    // Expires with the routes, for the delayed work they leave behind.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace tevro
