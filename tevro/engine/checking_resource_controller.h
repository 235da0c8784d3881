#pragma once

// Hysteresis over the checking resources: decreases apply at once, increases
// only after 5 s of steady room.

#include <optional>

#include "tevro/engine/checking_resources.h"

namespace tevro {

struct CheckingResourceController {
    CheckingResources current;
    std::optional<double> increaseSince; // seconds since boot

    // Takes the target and the time since boot; returns the value in force.
    CheckingResources update(const CheckingResources& target, double now);
};

} // namespace tevro
