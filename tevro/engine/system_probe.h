#pragma once

// Readings of the machine that the hash-check control needs; the Linux probe
// reads /proc and sysconf, tests inject their own figures.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace tevro {

class SystemProbe {
public:
    struct Ticks {
        std::uint64_t user = 0, system = 0, idle = 0, nice = 0;
    };

    virtual ~SystemProbe() = default;
    virtual std::int64_t processors() const = 0;
    virtual std::uint64_t memoryBytes() const = 0;
    virtual std::optional<Ticks> cpuTicks() const = 0;
    // This process's user + system processor time, seconds.
    virtual std::optional<double> ownCpuSeconds() const = 0;
    virtual bool lowPower() const = 0;
    virtual int thermalState() const = 0;
    // 0 normal, 1 warning, 2 critical; nothing where the kernel does not say.
    virtual std::optional<int> memoryPressure() const = 0;
    // Monotonic seconds since boot.
    virtual double now() const = 0;
};

class LinuxSystemProbe : public SystemProbe {
public:
    LinuxSystemProbe();
    ~LinuxSystemProbe() override;
    LinuxSystemProbe(const LinuxSystemProbe&) = delete;
    LinuxSystemProbe& operator=(const LinuxSystemProbe&) = delete;

    std::int64_t processors() const override;
    std::uint64_t memoryBytes() const override;
    std::optional<Ticks> cpuTicks() const override;
    std::optional<double> ownCpuSeconds() const override;
    bool lowPower() const override;
    int thermalState() const override;
    std::optional<int> memoryPressure() const override;
    double now() const override;

private:
    // Read every second or two: kept open and read again from the start,
    // which the kernel answers with fresh figures, instead of an open and a
    // stream each time.
    class KeptFile {
    public:
        explicit KeptFile(const char* path) : m_path(path) {}
        ~KeptFile();
        // The file's first bytes, at most size - 1, NUL-terminated; false
        // when it cannot be read.
        bool read(char* buffer, std::size_t size);

    private:
        const char* m_path;
        int m_fd = -1;
    };
    mutable KeptFile m_stat{"/proc/stat"};
    mutable KeptFile m_pressure{"/proc/pressure/memory"};
    mutable KeptFile m_profile{"/sys/firmware/acpi/platform_profile"};
};

// The thermal state (0 nominal, 1 fair, 2 serious, 3 critical) of a sysfs
// thermal folder: the worst over its enabled zones of the current temperature
// against the zone's trip points (passive: fair, hot: serious, critical:
// critical). 0 where no zone can be read.
int thermalStateOf(const std::filesystem::path& folder);

// Reads "some avg10=…" of a /proc/pressure/memory text: at least 40 % of the
// last ten seconds stalled is critical, at least 10 % a warning.
std::optional<int> memoryPressureLevel(const char* pressureText);

} // namespace tevro
