#pragma once

// What an application hands the kit when it starts usage statistics.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include <QUrl>

namespace quorvel {

struct StatisticsConfiguration {
    std::string appID;
    QUrl endpoint; // request paths are appended to it
    std::optional<std::filesystem::path> storageDirectory;
    std::optional<std::string> keychainService;
    // Both are called from the engine's thread whenever an event needs them.
    std::function<std::string()> localization;
    std::function<bool()> launchAtLogin;
};

} // namespace quorvel
