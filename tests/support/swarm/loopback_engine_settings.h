#pragma once

// A "settings.json" for an engine under test that talks only to peers on
// 127.0.0.1: no DHT, LSD, port mapping, public trackers or IPv6.

#include <filesystem>
#include <functional>

#include "tevro/core/json_value.h"

namespace tevro::swarm {

// A TCP port on 127.0.0.1 that was free a moment ago.
int freeLoopbackPort();

// Writes the settings into `dataFolder`; `adjust` may change them first.
void writeLoopbackEngineSettings(const std::filesystem::path& dataFolder, int listenPort,
                                 const std::filesystem::path& downloads,
                                 const std::function<void(Json&)>& adjust = {});

} // namespace tevro::swarm
