#pragma once

// What the application tells the offers kit, and what the engine takes from
// its surroundings.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QUrl>

#include "quorvel-kit/offers/offers_transport.h"
#include "quorvel-kit/statistics/channel.h"
#include "quorvel-kit/statistics/kit_time.h"

namespace quorvel {

class OffersConfiguration {
public:
    OffersConfiguration(std::string appID, QUrl endpoint,
                        std::optional<std::filesystem::path> storageDirectory,
                        int64_t maximumOffers, bool excludesInstalledApps,
                        bool appliesImpressionLimits, std::function<std::string()> localization)
        : appID(std::move(appID)), endpoint(std::move(endpoint)),
          endpointText(this->endpoint.toString()), storageDirectory(std::move(storageDirectory)),
          excludesInstalledApps(excludesInstalledApps),
          appliesImpressionLimits(appliesImpressionLimits), localization(std::move(localization)) {
        setMaximumOffers(maximumOffers);
    }
    // The endpoint as written: its scheme is compared as written, which a QUrl
    // (lower-casing the scheme) cannot keep.
    OffersConfiguration(std::string appID, QString endpoint,
                        std::optional<std::filesystem::path> storageDirectory,
                        int64_t maximumOffers, bool excludesInstalledApps,
                        bool appliesImpressionLimits, std::function<std::string()> localization)
        : OffersConfiguration(std::move(appID), QUrl(endpoint, QUrl::StrictMode),
                              std::move(storageDirectory), maximumOffers, excludesInstalledApps,
                              appliesImpressionLimits, std::move(localization)) {
        endpointText = std::move(endpoint);
    }

    std::string appID;
    QUrl endpoint;
    QString endpointText;
    std::optional<std::filesystem::path> storageDirectory;
    bool excludesInstalledApps;
    bool appliesImpressionLimits;
    // Asked afresh for every request, from any thread.
    std::function<std::string()> localization;

    int64_t maximumOffers() const { return m_maximumOffers; }
    // Kept within 1 to 20.
    void setMaximumOffers(int64_t value) { m_maximumOffers = std::clamp<int64_t>(value, 1, 20); }

private:
    int64_t m_maximumOffers = 20;
};

struct OffersDependencies {
    std::shared_ptr<OffersTransport> transport;
    std::function<Date()> now;
    TimeZone timeZone = TimeZone::current();
    std::map<std::string, std::string> processEnvironment;
    // None: the engine finds the channel itself, once.
    std::optional<Channel> channel;
    // None: the engine looks for the catalogue's applications on this machine.
    std::function<std::vector<std::string>()> installedApps;
    // Wins over the configuration's folder.
    std::optional<std::filesystem::path> storageDirectory;

    // The live values: a new transport, the system clock and time zone, this
    // process's environment.
    static OffersDependencies live();
};

} // namespace quorvel
