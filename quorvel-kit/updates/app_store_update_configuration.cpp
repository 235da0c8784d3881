#include "quorvel-kit/updates/app_store_update_configuration.h"

#include <QString>
#include <QUrlQuery>

#include "quorvel-kit/updates/store_version.h"
#include "quorvel-kit/updates/storefront_country.h"

namespace quorvel {

namespace {
AppStoreUpdateConfiguration::Hosts& currentHosts() {
    static AppStoreUpdateConfiguration::Hosts hosts;
    return hosts;
}
} // namespace

std::string_view AppStoreUpdateConfiguration::rawValue(Platform platform) {
    return platform == Platform::macOS ? "macSoftware" : "software";
}

std::optional<AppStoreUpdateConfiguration::Platform>
AppStoreUpdateConfiguration::platformFromRaw(std::string_view raw) {
    if (raw == "macSoftware")
        return Platform::macOS;
    if (raw == "software")
        return Platform::iOS;
    return std::nullopt;
}

std::string_view AppStoreUpdateConfiguration::kind(Platform platform) {
    return platform == Platform::macOS ? "mac-software" : "software";
}

const AppStoreUpdateConfiguration::Hosts& AppStoreUpdateConfiguration::hosts() {
    return currentHosts();
}

void AppStoreUpdateConfiguration::setHosts(Hosts hosts) {
    currentHosts() = std::move(hosts);
}

std::expected<AppStoreUpdateConfiguration, UpdateFailure>
AppStoreUpdateConfiguration::make(std::optional<std::uint64_t> appStoreID, std::string bundleID,
                                  std::string installedVersion, std::string operatingSystemVersion,
                                  const std::string& countryCode, Platform platform) {
    const std::string country = QString::fromStdString(countryCode).toUpper().toStdString();
    const auto invalid = std::unexpected(UpdateFailure::configuration);
    if (appStoreID && *appStoreID == 0)
        return invalid;
    if (bundleID.empty())
        return invalid;
    if (!StoreVersion::parse(installedVersion) || !StoreVersion::parse(operatingSystemVersion))
        return invalid;
    if (country.size() != 2 ||
        !std::all_of(country.begin(), country.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
        return invalid;
    if (!StorefrontCountry::regions().contains(country))
        return invalid;
    AppStoreUpdateConfiguration configuration;
    configuration.m_appStoreID = appStoreID;
    configuration.m_bundleID = std::move(bundleID);
    configuration.m_installedVersion = std::move(installedVersion);
    configuration.m_operatingSystemVersion = std::move(operatingSystemVersion);
    configuration.m_countryCode = country;
    configuration.m_platform = platform;
    return configuration;
}

std::optional<QUrl> AppStoreUpdateConfiguration::storeURL() const {
    if (!m_appStoreID)
        return std::nullopt;
    return storeURL(*m_appStoreID);
}

QUrl AppStoreUpdateConfiguration::storeURL(std::uint64_t id) const {
    const QString country = QString::fromStdString(m_countryCode).toLower();
    return QUrl(QString::fromStdString("https://" + hosts().pages + "/") + country + "/app/id" +
                QString::number(id));
}

QUrl AppStoreUpdateConfiguration::lookupURL() const {
    QUrl url(QString::fromStdString("https://" + hosts().lookup + "/lookup"));
    QUrlQuery query;
    if (m_appStoreID)
        query.addQueryItem("id", QString::number(*m_appStoreID));
    else
        query.addQueryItem("bundleId", QString::fromStdString(m_bundleID));
    query.addQueryItem("country", QString::fromStdString(m_countryCode));
    query.addQueryItem("entity", QString::fromLatin1(rawValue(m_platform).data()));
    url.setQuery(query.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return url;
}

} // namespace quorvel
