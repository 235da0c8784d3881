#include "tevro/core/machine_info.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <mutex>

#include <pwd.h>
#include <sys/random.h>
#include <unistd.h>

namespace tevro {

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::mutex g_mutex;
std::shared_ptr<MachineInfo> g_machine;

} // namespace

std::string PosixMachineInfo::regionCode() const {
    // ru_RU.UTF-8@euro -> RU
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        std::string v = env(name);
        if (v.empty())
            continue;
        auto us = v.find('_');
        if (us == std::string::npos)
            return {};
        std::string region;
        for (size_t i = us + 1; i < v.size() && std::isalpha(static_cast<unsigned char>(v[i])); ++i)
            region += static_cast<char>(std::toupper(static_cast<unsigned char>(v[i])));
        return region;
    }
    return {};
}

std::string PosixMachineInfo::timeZoneId() const {
    std::string tz = env("TZ");
    if (!tz.empty())
        return tz.front() == ':' ? tz.substr(1) : tz;
    std::ifstream in("/etc/timezone");
    std::string line;
    if (in && std::getline(in, line) && !line.empty())
        return line;
    std::error_code ec;
    auto target = std::filesystem::read_symlink("/etc/localtime", ec).string();
    if (auto pos = target.find("zoneinfo/"); !ec && pos != std::string::npos)
        return target.substr(pos + 9);
    return "UTC";
}

std::string PosixMachineInfo::homePath() const {
    std::string home = env("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

std::string PosixMachineInfo::downloadsPath() const {
    return (std::filesystem::path(homePath()) / "Downloads").string();
}

std::string PosixMachineInfo::dataLocation() const {
    std::string xdg = env("XDG_DATA_HOME");
    if (!xdg.empty() && xdg.front() == '/')
        return xdg;
    return (std::filesystem::path(homePath()) / ".local/share").string();
}

std::uint64_t PosixMachineInfo::randomUniform(std::uint64_t upper) {
    return systemRandomUniform(upper);
}

std::uint64_t systemRandomUniform(std::uint64_t upper) {
    auto draw = [] {
        std::uint64_t v = 0;
        auto* p = reinterpret_cast<unsigned char*>(&v);
        size_t got = 0;
        while (got < sizeof v) {
            ssize_t n = getrandom(p + got, sizeof v - got, 0);
            if (n > 0)
                got += static_cast<size_t>(n);
        }
        return v;
    };
    if (upper == std::numeric_limits<std::uint64_t>::max())
        return draw();
    std::uint64_t range = upper + 1;
    std::uint64_t limit = std::numeric_limits<std::uint64_t>::max() -
                          std::numeric_limits<std::uint64_t>::max() % range;
    for (;;) {
        std::uint64_t v = draw();
        if (v < limit)
            return v % range;
    }
}

std::shared_ptr<MachineInfo> machine() {
    std::lock_guard lock(g_mutex);
    if (!g_machine)
        g_machine = std::make_shared<PosixMachineInfo>();
    return g_machine;
}

std::shared_ptr<MachineInfo> setMachine(std::shared_ptr<MachineInfo> info) {
    std::lock_guard lock(g_mutex);
    auto old = std::move(g_machine);
    g_machine = std::move(info);
    return old;
}

} // namespace tevro
