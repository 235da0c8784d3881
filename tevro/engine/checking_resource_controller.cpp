#include "tevro/engine/checking_resource_controller.h"

#include <algorithm>

namespace tevro {

CheckingResources CheckingResourceController::update(const CheckingResources& target, double now) {
    if (target.threads < current.threads || target.blocks < current.blocks) {
        current = {std::min(target.threads, current.threads),
                   std::min(target.blocks, current.blocks)};
        increaseSince.reset();
    } else if (target == current) {
        increaseSince.reset();
    } else {
        if (!increaseSince)
            increaseSince = now;
        if (now - *increaseSince >= 5.0) {
            current = target;
            increaseSince.reset();
        }
    }
    return current;
}

} // namespace tevro
