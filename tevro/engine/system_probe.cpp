#include "tevro/engine/system_probe.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

namespace tevro {

std::int64_t LinuxSystemProbe::processors() const {
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? n : 1;
}

std::uint64_t LinuxSystemProbe::memoryBytes() const {
    long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || size <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size);
}

std::optional<SystemProbe::Ticks> LinuxSystemProbe::cpuTicks() const {
    std::ifstream in("/proc/stat");
    std::string cpu;
    Ticks t;
    if (!(in >> cpu >> t.user >> t.nice >> t.system >> t.idle) || cpu != "cpu")
        return std::nullopt;
    return t;
}

std::optional<double> LinuxSystemProbe::ownCpuSeconds() const {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return std::nullopt;
    auto seconds = [](const timeval& tv) {
        return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool LinuxSystemProbe::lowPower() const {
    std::ifstream in("/sys/firmware/acpi/platform_profile");
    std::string profile;
    return in >> profile && profile == "low-power";
}

int LinuxSystemProbe::thermalState() const {
    return 0;
}

std::optional<int> LinuxSystemProbe::memoryPressure() const {
    std::ifstream in("/proc/pressure/memory");
    if (!in)
        return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    return memoryPressureLevel(text.str().c_str());
}

double LinuxSystemProbe::now() const {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::optional<int> memoryPressureLevel(const char* text) {
    const char* some = std::strstr(text, "some");
    if (!some)
        return std::nullopt;
    const char* avg = std::strstr(some, "avg10=");
    if (!avg)
        return std::nullopt;
    double value = std::strtod(avg + 6, nullptr);
    return value >= 40.0 ? 2 : value >= 10.0 ? 1 : 0;
}

} // namespace tevro
