#include "quorvel-kit/statistics/client_environment.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>

#include <sys/utsname.h>

#include <QString>
#include <QSysInfo>

extern char** environ;

namespace quorvel {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kPrefixes{{
    {"MacBookAir", "macbook-air"},
    {"MacBookPro", "macbook-pro"},
    {"MacBook", "macbook"},
    {"iMacPro", "imac-pro"},
    {"iMac", "imac"},
    {"Macmini", "mac-mini"},
    {"MacPro", "mac-pro"},
    {"VirtualMac", "virtual"},
}};

constexpr std::array<std::pair<std::string_view, std::string_view>, 38> kModels{{
    {"Mac13,1", "mac-studio"},   {"Mac13,2", "mac-studio"},   {"Mac14,13", "mac-studio"},
    {"Mac14,14", "mac-studio"},  {"Mac15,14", "mac-studio"},  {"Mac16,9", "mac-studio"},
    {"Mac14,2", "macbook-air"},  {"Mac14,15", "macbook-air"}, {"Mac15,12", "macbook-air"},
    {"Mac15,13", "macbook-air"}, {"Mac16,12", "macbook-air"}, {"Mac16,13", "macbook-air"},
    {"Mac14,3", "mac-mini"},     {"Mac14,12", "mac-mini"},    {"Mac16,10", "mac-mini"},
    {"Mac16,11", "mac-mini"},    {"Mac14,5", "macbook-pro"},  {"Mac14,6", "macbook-pro"},
    {"Mac14,7", "macbook-pro"},  {"Mac14,9", "macbook-pro"},  {"Mac14,10", "macbook-pro"},
    {"Mac15,3", "macbook-pro"},  {"Mac15,6", "macbook-pro"},  {"Mac15,7", "macbook-pro"},
    {"Mac15,8", "macbook-pro"},  {"Mac15,9", "macbook-pro"},  {"Mac15,10", "macbook-pro"},
    {"Mac15,11", "macbook-pro"}, {"Mac16,1", "macbook-pro"},  {"Mac16,5", "macbook-pro"},
    {"Mac16,6", "macbook-pro"},  {"Mac16,7", "macbook-pro"},  {"Mac16,8", "macbook-pro"},
    {"Mac15,4", "imac"},         {"Mac15,5", "imac"},         {"Mac16,2", "imac"},
    {"Mac16,3", "imac"},         {"Mac14,8", "mac-pro"},
}};

StoreTransaction noStore() {
    return StoreTransaction::failed;
}

} // namespace

ProcessInfo ProcessInfo::current() {
    ProcessInfo p;
    utsname u{};
    if (uname(&u) == 0)
        std::sscanf(u.release, "%d.%d.%d", &p.osMajor, &p.osMinor, &p.osPatch);
    for (char** e = environ; e && *e; ++e) {
        std::string_view kv(*e);
        auto eq = kv.find('=');
        if (eq != std::string_view::npos)
            p.environment.emplace(std::string(kv.substr(0, eq)), std::string(kv.substr(eq + 1)));
    }
    std::ifstream cmd("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(cmd)), std::istreambuf_iterator<char>());
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\0', start);
        if (end == std::string::npos)
            end = all.size();
        p.arguments.emplace_back(all.substr(start, end - start));
        start = end + 1;
    }
    return p;
}

ClientEnvironment ClientEnvironment::detect(const Bundle& bundle, const ProcessInfo& process,
                                            const StoreTransactionSource& store) {
    ClientEnvironment env;
    env.platform = "linux";
    env.appVersion = bundle.string("CFBundleShortVersionString").value_or("0");
    env.build = bundle.string("CFBundleVersion").value_or("0");
    env.channel = channelOf(bundle, process.environment, process.arguments, store);
    env.osVersion = std::to_string(process.osMajor) + "." + std::to_string(process.osMinor);
    env.arch = QSysInfo::buildCpuArchitecture().toStdString();
    env.deviceFamily = familyOf(hardwareModel());
    return env;
}

Channel ClientEnvironment::channelOf(const Bundle& bundle,
                                     const std::map<std::string, std::string>& environment,
                                     const std::vector<std::string>& arguments,
                                     const StoreTransactionSource& store) {
    if (environment.contains("QUORVEL_TEST_ROOT"))
        return Channel::test;
    for (const std::string& a : arguments)
        if (a == "--quorvel-test")
            return Channel::test;
    std::error_code ec;
    if (!std::filesystem::exists(bundle.folder / "Contents/_MASReceipt/receipt", ec))
        return Channel::direct;
    switch ((store ? store : noStore)()) {
    case StoreTransaction::verifiedOther:
        return Channel::testflight;
    case StoreTransaction::failed:
    case StoreTransaction::unverified:
    case StoreTransaction::verifiedProduction:
        break;
    }
    return Channel::appStore;
}

std::string ClientEnvironment::hardwareModel(const std::string& dmiFolder) {
    std::ifstream in(dmiFolder + "/product_name", std::ios::binary);
    if (!in)
        return {};
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    raw = raw.substr(0, raw.find('\0'));
    // The firmware ends the value with a line feed.
    while (!raw.empty() && (raw.back() == '\n' || raw.back() == '\r'))
        raw.pop_back();
    return QString::fromUtf8(raw.data(), qsizetype(raw.size())).toStdString();
}

std::string ClientEnvironment::familyOf(std::string_view model) {
    for (const auto& [prefix, family] : kPrefixes)
        if (model.starts_with(prefix))
            return std::string(family);
    for (const auto& [name, family] : kModels)
        if (model == name)
            return std::string(family);
    return "mac-other";
}

} // namespace quorvel
