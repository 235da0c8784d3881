#include "tevro/engine/checking_resources.h"

#include <algorithm>
#include <cmath>

namespace tevro {

std::string CheckingResources::settings() const {
    return "hashing_threads=" + std::to_string(threads) +
           "\nchecking_mem_usage=" + std::to_string(blocks);
}

CheckingResources CheckingResources::target(const Hardware& hw, const Conditions& c) {
    using I = std::int64_t;
    const I p = hw.processors;
    const I cpus = std::clamp<I>(p, 1, 256);
    const std::uint64_t tib = 1ull << 40, gib = 1ull << 30;
    const I memGiB = hw.memoryBytes >= tib
                         ? 1024
                         : static_cast<I>(std::max<std::uint64_t>(hw.memoryBytes, gib) / gib);

    const I base = p < 3 ? 1 : std::min({2 * (cpus - 2), std::max<I>(memGiB, 2), I{64}});
    double busy = std::isfinite(c.otherBusyCores) ? c.otherBusyCores : 0.0;
    busy = std::clamp(busy, 0.0, static_cast<double>(cpus));
    const I spare = static_cast<I>(2.0 * std::max(static_cast<double>(cpus) - 2.0 - busy, 1.0));
    I threads = std::min(base, spare);

    if (c.playbackActive)
        threads = p > 3 ? std::min(threads, cpus / 4) : 1;
    if (c.lowPower)
        threads = p > 1 ? std::min(threads, cpus / 2) : 1;
    if (c.interfaceLagging)
        threads = p > 1 ? std::min(threads, cpus / 2) : 1;
    if (c.thermalState == 1)
        threads = std::min(threads, std::max<I>(3 * base, 4) / 4);
    else if (c.thermalState == 2)
        threads = p > 2 ? std::min(threads, cpus / 3) : 1;
    else if (c.thermalState >= 3)
        threads = 1;
    if (c.memoryPressure == 1)
        threads = std::min<I>(threads, 4);
    else if (c.memoryPressure >= 2)
        threads = 1;

    I mib = std::min(threads * 16, std::min<I>(memGiB, 64) * 8);
    if (c.memoryPressure == 1)
        mib = std::min<I>(mib, 64);
    else if (c.memoryPressure >= 2)
        mib = std::min<I>(mib, 16);
    mib = std::max<I>(mib, 16);
    return {threads, mib * 64};
}

} // namespace tevro
