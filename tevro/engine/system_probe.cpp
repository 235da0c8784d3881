#include "tevro/engine/system_probe.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tevro {

LinuxSystemProbe::LinuxSystemProbe() = default;
LinuxSystemProbe::~LinuxSystemProbe() = default;

LinuxSystemProbe::KeptFile::~KeptFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool LinuxSystemProbe::KeptFile::read(char* buffer, std::size_t size) {
    // Opened again on the next read after a failure (a module loaded late).
    if (m_fd < 0)
        m_fd = ::open(m_path, O_RDONLY | O_CLOEXEC);
    if (m_fd < 0 || size == 0)
        return false;
    ssize_t n = ::pread(m_fd, buffer, size - 1, 0);
    if (n < 0) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    buffer[n] = '\0';
    return true;
}

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
    char text[256];
    if (!m_stat.read(text, sizeof text) || std::strncmp(text, "cpu ", 4) != 0)
        return std::nullopt;
    Ticks t;
    char* at = text + 4;
    for (std::uint64_t* field : {&t.user, &t.nice, &t.system, &t.idle}) {
        char* end = nullptr;
        errno = 0;
        *field = std::strtoull(at, &end, 10);
        if (end == at || errno != 0)
            return std::nullopt;
        at = end;
    }
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
    char text[64];
    if (!m_profile.read(text, sizeof text))
        return false;
    std::string_view profile(text);
    return profile.substr(0, profile.find_first_of(" \t\n")) == "low-power";
}

int LinuxSystemProbe::thermalState() const {
    return thermalStateOf("/sys/class/thermal");
}

namespace {

// A sysfs number (one decimal integer), or nothing.
std::optional<long long> readNumber(const std::filesystem::path& path) {
    std::ifstream in(path);
    long long value = 0;
    if (!(in >> value))
        return std::nullopt;
    return value;
}

std::string readWord(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string word;
    in >> word;
    return word;
}

} // namespace

int thermalStateOf(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::directory_iterator zones(folder, ec);
    if (ec)
        return 0;
    int state = 0;
    for (const auto& zone : zones) {
        if (!zone.path().filename().string().starts_with("thermal_zone"))
            continue;
        if (readWord(zone.path() / "mode") == "disabled")
            continue;
        const auto temperature = readNumber(zone.path() / "temp");
        if (!temperature)
            continue;
        // Trip points are numbered from 0 without gaps; a zone has a few.
        for (int i = 0; i < 64; ++i) {
            const std::string stem = "trip_point_" + std::to_string(i) + "_";
            const std::string type = readWord(zone.path() / (stem + "type"));
            if (type.empty())
                break;
            const auto trip = readNumber(zone.path() / (stem + "temp"));
            if (!trip || *trip <= 0 || *temperature < *trip)
                continue;
            if (type == "critical")
                state = std::max(state, 3);
            else if (type == "hot")
                state = std::max(state, 2);
            else if (type == "passive")
                state = std::max(state, 1);
        }
    }
    return state;
}

std::optional<int> LinuxSystemProbe::memoryPressure() const {
    char text[512];
    if (!m_pressure.read(text, sizeof text))
        return std::nullopt;
    return memoryPressureLevel(text);
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
