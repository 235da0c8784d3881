#include "tevro/engine/checking_load_sampler.h"

#include <algorithm>
#include <cmath>

namespace tevro {

double CheckingLoadSampler::sample(const SystemProbe& probe, std::int64_t processors, double now) {
    return sample(probe.cpuTicks(), probe.ownCpuSeconds(), processors, now);
}

double CheckingLoadSampler::sample(std::optional<SystemProbe::Ticks> ticks,
                                   std::optional<double> ownCPU, std::int64_t processors,
                                   double now) {
    if (!ticks || !ownCPU)
        return smoothed;
    // 32-bit wrapping counters, as the figures are kept.
    auto busy = static_cast<std::uint32_t>(ticks->user + ticks->system + ticks->nice);
    auto total = static_cast<std::uint32_t>(busy + static_cast<std::uint32_t>(ticks->idle));
    Sample current{busy, total, *ownCPU, now};
    if (previous && previous->time < now && total - previous->total != 0) {
        double share = static_cast<double>(static_cast<std::uint32_t>(busy - previous->busy)) /
                       static_cast<double>(static_cast<std::uint32_t>(total - previous->total));
        double own = std::max(0.0, *ownCPU - previous->ownCPU) / (now - previous->time);
        double others = std::max(0.0, share * static_cast<double>(processors) - own);
        smoothed = 0.7 * smoothed + 0.3 * others;
        previous = current;
        return std::floor(std::max(0.0, smoothed - 0.5));
    }
    previous = current;
    return smoothed;
}

} // namespace tevro
