#pragma once

// Estimates how many processors other programs keep busy, from the system's
// tick counters minus this process's own processor time, smoothed.

#include <cstdint>
#include <optional>

#include "tevro/engine/system_probe.h"

namespace tevro {

struct CheckingLoadSampler {
    struct Sample {
        std::uint32_t busy = 0;
        std::uint32_t total = 0;
        double ownCPU = 0;
        double time = 0;
    };

    std::optional<Sample> previous;
    double smoothed = 0;

    double sample(const SystemProbe& probe, std::int64_t processors, double now);
    // The same from readings already taken (nothing when a reading failed).
    double sample(std::optional<SystemProbe::Ticks> ticks, std::optional<double> ownCPU,
                  std::int64_t processors, double now);
};

} // namespace tevro
