#include "quorvel-kit/offers/offers_engine.h"

#include <algorithm>
#include <system_error>

#include <QStandardPaths>
#include <QUrlQuery>

#include "quorvel-kit/offers/url_session_offers_transport.h"
#include "quorvel-kit/statistics/bundle.h"
#include "quorvel-kit/statistics/client_environment.h"
#include "quorvel-kit/statistics/file_io.h"
#include "quorvel-kit/statistics/registry_locales.h"
#include "quorvel-kit/statistics/serial_queue.h"

namespace quorvel {

namespace {

constexpr double kFreshSeconds = 300;
constexpr double kFailureSeconds = 60;
constexpr double kDismissalKeptSeconds = 31'622'400; // 366 days

std::string joined(const std::vector<std::string>& list) {
    std::string out;
    for (const auto& s : list)
        out += (out.empty() ? "" : ",") + s;
    return out;
}

} // namespace

OffersEngine::OffersEngine(OffersConfiguration configuration, OffersDependencies dependencies)
    : m_configuration(std::move(configuration)), m_dependencies(std::move(dependencies)),
      m_queue(std::make_unique<SerialQueue>("quorvel.offers")) {
    if (!m_dependencies.now)
        m_dependencies.now = systemNow;
}

OffersEngine::~OffersEngine() {
    // The transport's session belongs to the queue's thread: end it there.
    m_queue->sync([this] { m_dependencies.transport.reset(); });
    m_queue.reset();
}

std::filesystem::path OffersEngine::stateURL() const {
    if (m_dependencies.storageDirectory)
        return *m_dependencies.storageDirectory / "offers.json";
    if (m_configuration.storageDirectory)
        return *m_configuration.storageDirectory / "offers.json";
    auto root = m_dependencies.processEnvironment.find("QUORVEL_TEST_ROOT");
    if (root != m_dependencies.processEnvironment.end())
        return std::filesystem::path(root->second) / "quorvel-kit" / m_configuration.appID /
               "offers.json";
    std::filesystem::path data =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString();
    std::string owner = Bundle::main().string("CFBundleIdentifier").value_or(m_configuration.appID);
    return data / owner / "QuorvelKit" / "offers.json";
}

OffersState& OffersEngine::loadState() {
    if (!m_state) {
        auto text = readFile(stateURL());
        m_state = text ? OffersState::decode(*text).value_or(OffersState{}) : OffersState{};
    }
    return *m_state;
}

void OffersEngine::save(const OffersState& state) {
    m_state = state;
    auto path = stateURL();
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    writeFileAtomically(path, state.encode());
}

std::string OffersEngine::dayKey(Date date) const {
    return localDateText(m_dependencies.timeZone.dayNumber(date));
}

std::optional<QUrl> OffersEngine::endpoint() {
    Channel channel;
    if (m_dependencies.channel) {
        channel = *m_dependencies.channel;
    } else {
        if (!m_resolvedChannel)
            m_resolvedChannel =
                ClientEnvironment::channelOf(Bundle::main(), m_dependencies.processEnvironment,
                                             ProcessInfo::current().arguments);
        channel = *m_resolvedChannel;
    }
    const QUrl& configured = m_configuration.endpoint;
    if (channel != Channel::debug && channel != Channel::test) {
        // Exactly "https" as the application wrote it: QUrl lower-cases "HTTPS".
        if (configured.isValid() && configured.scheme() == QLatin1String("https") &&
            m_configuration.endpointText.startsWith(QLatin1String("https:"), Qt::CaseSensitive))
            return configured;
        return std::nullopt;
    }
    auto over = m_dependencies.processEnvironment.find("QUORVEL_OFFERS_ENDPOINT");
    if (over != m_dependencies.processEnvironment.end()) {
        QUrl url(QString::fromStdString(over->second), QUrl::StrictMode);
        if (url.isValid() && isLoopbackHost(url.host()))
            return url;
    }
    if (configured.isValid() && isLoopbackHost(configured.host()))
        return configured;
    return std::nullopt;
}

std::vector<std::string> OffersEngine::installedApps() const {
    if (!m_configuration.excludesInstalledApps)
        return {};
    std::vector<std::string> apps;
    if (m_dependencies.installedApps) {
        for (auto& id : m_dependencies.installedApps())
            if (id != m_configuration.appID)
                apps.push_back(std::move(id));
    } else {
        // An application counts as installed when the desktop knows its entry.
        for (const auto& [id, entry] : catalog()) {
            if (id == m_configuration.appID)
                continue;
            for (const auto& bundleID : entry.bundleIDs) {
                if (!QStandardPaths::locate(QStandardPaths::ApplicationsLocation,
                                            QString::fromStdString(bundleID + ".desktop"))
                         .isEmpty()) {
                    apps.push_back(id);
                    break;
                }
            }
        }
    }
    std::sort(apps.begin(), apps.end());
    return apps;
}

std::optional<QUrl> OffersEngine::requestURL(const std::string& locale,
                                             const std::vector<std::string>& installed) {
    auto base = endpoint();
    if (!base)
        return std::nullopt;
    QUrl url = *base;
    QString path = url.path();
    if (!path.endsWith('/'))
        path += '/';
    url.setPath(path + "v1/offers");
    QUrlQuery query;
    query.addQueryItem("appId", QString::fromStdString(m_configuration.appID));
    query.addQueryItem("platform", "macos");
    query.addQueryItem("locale", QString::fromStdString(locale));
    query.addQueryItem("limit", QString::number(m_configuration.maximumOffers()));
    if (!installed.empty())
        query.addQueryItem("installedAppIds", QString::fromStdString(joined(installed)));
    url.setQuery(query);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

void OffersEngine::fetch(OffersState state, const std::string& locale,
                         const std::vector<std::string>& installed, const std::string& key,
                         std::function<void(OffersState)> done) {
    auto failed = [this, key](OffersState next) {
        next.cacheKey = key;
        next.body.reset();
        next.etag.reset();
        next.fetchedAt.reset();
        next.failedAt = m_dependencies.now();
        return next;
    };
    auto url = requestURL(locale, installed);
    if (!url || !m_dependencies.transport) {
        done(failed(std::move(state)));
        return;
    }
    OffersRequest request;
    request.url = *url;
    request.timeout = 12;
    request.ignoresCache = true;
    request.maximumBytes = kMaximumReplyBytes;
    request.headers = {{"Accept", "application/json"}};
    const bool sameKey = state.cacheKey == key && state.body.has_value();
    if (sameKey && state.etag)
        request.headers.emplace_back("If-None-Match", *state.etag);
    m_dependencies.transport->send(
        request, [this, state = std::move(state), sameKey, key, failed,
                  done = std::move(done)](OffersTransport::Result result) mutable {
            if (!result) {
                done(failed(std::move(state)));
                return;
            }
            if (result->status == 200 && int64_t(result->body.size()) <= kMaximumReplyBytes &&
                OffersEnvelope::decode(result->body)) {
                state.cacheKey = key;
                state.body = std::move(result->body);
                state.etag = result->header("ETag");
                state.fetchedAt = m_dependencies.now();
                state.failedAt.reset();
                done(std::move(state));
                return;
            }
            if (result->status == 304 && sameKey) {
                state.fetchedAt = m_dependencies.now();
                state.failedAt.reset();
                done(std::move(state));
                return;
            }
            done(failed(std::move(state)));
        });
}

std::vector<Offer> OffersEngine::visible(const std::vector<Offer>& offers, const OffersState& state,
                                         Date now) const {
    const std::string today = dayKey(now);
    std::vector<Offer> shown;
    for (const Offer& offer : offers) {
        if (offer.startsAt && now < *offer.startsAt)
            continue;
        if (offer.endsAt && now >= *offer.endsAt)
            continue;
        auto dismissed = state.dismissed.find(offer.id);
        if (dismissed != state.dismissed.end() &&
            now - dismissed->second < dismissalSeconds(offer.dismissForDays))
            continue;
        if (m_configuration.appliesImpressionLimits) {
            auto perOffer = state.impressions.find(offer.id);
            if (perOffer != state.impressions.end()) {
                auto count = perOffer->second.find(today);
                if (count != perOffer->second.end() && count->second >= offer.maxImpressionsPerDay)
                    continue;
            }
        }
        shown.push_back(offer);
    }
    return shown;
}

void OffersEngine::available(bool refresh, std::function<void(Answer)> done) {
    m_queue->post([this, refresh, done = std::move(done)]() mutable {
        OffersState state = loadState();
        std::string locale = RegistryLocales::code(
            m_configuration.localization ? m_configuration.localization() : std::string());
        std::vector<std::string> installed = installedApps();
        std::string key = locale + "|" + joined(installed);
        Date now = m_dependencies.now();
        bool fresh =
            state.cacheKey == key && ((state.fetchedAt && now - *state.fetchedAt < kFreshSeconds) ||
                                      (state.failedAt && now - *state.failedAt < kFailureSeconds));
        auto answer = [this, key, done = std::move(done)]() mutable {
            const OffersState& current = loadState();
            if (current.cacheKey != key || !current.body) {
                done(std::nullopt);
                return;
            }
            auto offers = decode(*current.body, m_configuration.appID);
            done(visible(offers, current, m_dependencies.now()));
        };
        if (!refresh && fresh) {
            answer();
            return;
        }
        fetch(state, locale, installed, key,
              [this, answer = std::move(answer)](OffersState next) mutable {
                  // Bookkeeping done while the request ran is kept.
                  const OffersState& current = loadState();
                  next.impressions = current.impressions;
                  next.dismissed = current.dismissed;
                  save(next);
                  answer();
              });
    });
}

void OffersEngine::markShown(std::vector<std::string> ids, std::function<void()> done) {
    m_queue->post([this, ids = std::move(ids), done = std::move(done)] {
        OffersState state = loadState();
        std::string today = dayKey(m_dependencies.now());
        for (const auto& id : ids) {
            auto& perDay = state.impressions[id];
            int64_t n = perDay.contains(today) ? perDay[today] : 0;
            perDay = {{today, n + 1}};
        }
        save(state);
        if (done)
            done();
    });
}

void OffersEngine::dismiss(std::string id, std::function<void()> done) {
    m_queue->post([this, id = std::move(id), done = std::move(done)] {
        OffersState state = loadState();
        Date now = m_dependencies.now();
        std::erase_if(state.dismissed, [now](const auto& entry) {
            return now - entry.second >= kDismissalKeptSeconds;
        });
        state.dismissed[id] = now;
        save(state);
        if (done)
            done();
    });
}

} // namespace quorvel
