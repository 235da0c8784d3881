#pragma once

// How hard a hash check may work the machine: hashing threads and checking
// memory, chosen from the machine's size and what else is going on.

#include <cstdint>
#include <string>

namespace tevro {

struct CheckingResources {
    struct Hardware {
        std::int64_t processors = 1;
        std::uint64_t memoryBytes = 0;
    };

    struct Conditions {
        double otherBusyCores = 0;
        bool playbackActive = false;
        bool lowPower = false;
        int thermalState = 0;   // 0 nominal, 1 fair, 2 serious, 3 critical
        int memoryPressure = 0; // 0 normal, 1 warning, 2 critical
        bool interfaceLagging = false;
    };

    std::int64_t threads = 1;
    std::int64_t blocks = 1024; // 16-KiB blocks

    bool operator==(const CheckingResources&) const = default;

    // "hashing_threads=N\nchecking_mem_usage=M"
    std::string settings() const;

    static CheckingResources target(const Hardware& hardware, const Conditions& conditions);
};

} // namespace tevro
