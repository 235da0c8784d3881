#pragma once

// The update front over the direct backend, for hosts that update themselves
// from the maker's feed.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "quorvel-kit/updates/app_bundle.h"
#include "quorvel-kit/updates/application_updates.h"

namespace quorvel {

std::unique_ptr<ApplicationUpdates> directApplicationUpdates(
    AppBundle bundle, std::function<std::optional<std::string>()> language,
    std::function<bool()> canRelaunch = [] { return true; });

} // namespace quorvel
