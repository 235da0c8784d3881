#pragma once

// The validated settings of a store update check and the two addresses made
// from them: the application's store page and the look-up request.

#include <cstdint>
#include <expected>
#include <optional>
#include <string>

#include <QUrl>

#include "quorvel-kit/updates/update_vocabulary.h"

namespace quorvel {

class AppStoreUpdateConfiguration {
public:
    enum class Platform { macOS, iOS };
    static std::string_view rawValue(Platform platform);
    static std::optional<Platform> platformFromRaw(std::string_view raw);
    // The "kind" an answer must carry for the platform.
    static std::string_view kind(Platform platform);

    // The hosts of the store's look-up service and web pages ("host" or "host:port").
    struct Hosts {
        std::string lookup = "itunes.apple.com";
        std::string pages = "apps.apple.com";
    };
    static const Hosts& hosts();
    static void setHosts(Hosts hosts); // for loopback services standing in for the store

    static std::expected<AppStoreUpdateConfiguration, UpdateFailure>
    make(std::optional<std::uint64_t> appStoreID, std::string bundleID,
         std::string installedVersion, std::string operatingSystemVersion,
         const std::string& countryCode, Platform platform);

    std::optional<std::uint64_t> appStoreID() const { return m_appStoreID; }
    const std::string& bundleID() const { return m_bundleID; }
    const std::string& installedVersion() const { return m_installedVersion; }
    const std::string& operatingSystemVersion() const { return m_operatingSystemVersion; }
    const std::string& countryCode() const { return m_countryCode; }
    Platform platform() const { return m_platform; }

    std::optional<QUrl> storeURL() const;
    QUrl storeURL(std::uint64_t id) const;
    QUrl lookupURL() const;

private:
    AppStoreUpdateConfiguration() = default;

    std::optional<std::uint64_t> m_appStoreID;
    std::string m_bundleID;
    std::string m_installedVersion;
    std::string m_operatingSystemVersion;
    std::string m_countryCode;
    Platform m_platform = Platform::macOS;
};

} // namespace quorvel
