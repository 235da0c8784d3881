#pragma once

// What the kit tells the statistics service about the running copy: platform,
// versions, distribution channel, operating system, architecture and device.
// The channel alone is also used by the offers half of the kit.

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "quorvel-kit/statistics/bundle.h"
#include "quorvel-kit/statistics/channel.h"

namespace quorvel {

// What the store says of this copy's signed transaction. Linux has no store,
// so the default source reports `failed`.
enum class StoreTransaction { failed, unverified, verifiedProduction, verifiedOther };
using StoreTransactionSource = std::function<StoreTransaction()>;

// The running process as the environment detection sees it.
struct ProcessInfo {
    int osMajor = 0;
    int osMinor = 0;
    int osPatch = 0;
    std::map<std::string, std::string> environment;
    std::vector<std::string> arguments;

    // This process: the kernel release as the system version, its environment
    // variables and its command line.
    static ProcessInfo current();
};

struct ClientEnvironment {
    std::string platform;
    std::string appVersion;
    std::string build;
    Channel channel = Channel::direct;
    std::string osVersion;
    std::string arch;
    std::string deviceFamily;

    bool operator==(const ClientEnvironment&) const = default;

    // The whole record for a bundle and a process.
    static ClientEnvironment detect(const Bundle& bundle, const ProcessInfo& process,
                                    const StoreTransactionSource& store = {});

    // The channel decision: "QUORVEL_TEST_ROOT" in the environment or the exact
    // argument "--quorvel-test" give `test`; no store receipt gives `direct`;
    // else the store transaction decides. Never fails.
    static Channel channelOf(const Bundle& bundle,
                             const std::map<std::string, std::string>& environment,
                             const std::vector<std::string>& arguments,
                             const StoreTransactionSource& store = {});

    // The machine's model name from the firmware tables, or "" when unreadable.
    static std::string hardwareModel(const std::string& dmiFolder = "/sys/devices/virtual/dmi/id");

    // The family of a model name.
    static std::string familyOf(std::string_view model);
};

} // namespace quorvel
