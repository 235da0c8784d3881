#pragma once

// The state of one permission as the application reports it.

#include <optional>
#include <string_view>

namespace quorvel {

enum class PermissionState { granted, denied, notDetermined };

// "granted", "denied" or "not_determined".
std::string_view rawValue(PermissionState state);
std::optional<PermissionState> permissionStateFromRaw(std::string_view raw);

} // namespace quorvel
