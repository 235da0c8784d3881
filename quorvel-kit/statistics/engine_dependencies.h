#pragma once

// Everything that ties the statistics engine to the machine, the clock and the
// network, replaceable as a whole.

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "quorvel-kit/statistics/client_environment.h"
#include "quorvel-kit/statistics/identity_store.h"
#include "quorvel-kit/statistics/kit_time.h"
#include "quorvel-kit/statistics/statistics_transport.h"

namespace quorvel {

struct EngineDependencies {
    std::optional<ClientEnvironment> environment; // else detected at bootstrap
    std::shared_ptr<IdentityStore> identity;      // else chosen by channel
    std::optional<std::filesystem::path> storageDirectory;
    std::shared_ptr<StatisticsTransport> transport;
    std::function<Date()> now = systemNow; // safe to call from any thread
    TimeZone timeZone = TimeZone::current();
    std::map<std::string, std::string> processEnvironment;
    bool timers = true;
    double firstUploadDelay = 60;

    // What the facade uses: the real transport, clock and process environment.
    static EngineDependencies standard();
};

} // namespace quorvel
