#pragma once

#include <atomic>

#include "tevro/engine/system_probe.h"

namespace tevro::test {

// Machine figures a test sets, with a clock it moves by hand.
class FakeProbe : public SystemProbe {
public:
    std::int64_t cpus = 10;
    std::uint64_t memory = 16ull << 30;
    std::optional<int> pressure = 0;
    bool power = false;
    int thermal = 0;
    double clock = 1000.0;

    std::int64_t processors() const override { return cpus; }
    std::uint64_t memoryBytes() const override { return memory; }
    std::optional<Ticks> cpuTicks() const override { return std::nullopt; }
    std::optional<double> ownCpuSeconds() const override { return std::nullopt; }
    bool lowPower() const override { return power; }
    int thermalState() const override { return thermal; }
    std::optional<int> memoryPressure() const override { return pressure; }
    double now() const override { return clock; }
};

} // namespace tevro::test
