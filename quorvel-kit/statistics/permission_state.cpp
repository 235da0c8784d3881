#include "quorvel-kit/statistics/permission_state.h"

namespace quorvel {

std::string_view rawValue(PermissionState state) {
    switch (state) {
    case PermissionState::granted:
        return "granted";
    case PermissionState::denied:
        return "denied";
    case PermissionState::notDetermined:
        return "not_determined";
    }
    return "not_determined";
}

std::optional<PermissionState> permissionStateFromRaw(std::string_view raw) {
    for (PermissionState s :
         {PermissionState::granted, PermissionState::denied, PermissionState::notDetermined})
        if (rawValue(s) == raw)
            return s;
    return std::nullopt;
}

} // namespace quorvel
