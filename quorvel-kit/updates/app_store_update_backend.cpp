#include "quorvel-kit/updates/app_store_update_backend.h"

#include <QDesktopServices>
#include <nlohmann/json.hpp>

#include "quorvel-kit/updates/store_version.h"

namespace quorvel {

namespace {

constexpr auto kDay = std::chrono::seconds(86400);
constexpr auto kRetry = std::chrono::seconds(900);
constexpr auto kReuse = std::chrono::seconds(60);
constexpr auto kPass = std::chrono::seconds(60);

UpdateActions failedActions(bool pageExists) {
    if (pageExists)
        return {UpdateAction::check, UpdateAction::openAppStore};
    return {UpdateAction::check};
}

} // namespace

AppStoreUpdateBackend::AppStoreUpdateBackend(AppStoreUpdateConfiguration configuration,
                                             UserDefaults defaults, StoreOpener openStore)
    : m_config(std::move(configuration)), m_defaults(std::move(defaults)),
      m_transport(std::make_unique<AppleStoreLookupTransport>()), m_openStore(std::move(openStore)),
      m_now([] { return std::chrono::system_clock::now(); }) {}

AppStoreUpdateBackend::~AppStoreUpdateBackend() {
    m_timer.reset();
    m_transport->cancel();
}

void AppStoreUpdateBackend::openStoreURL(const QUrl& url, std::function<void(bool)> done) {
    done(QDesktopServices::openUrl(url));
}

std::string AppStoreUpdateBackend::identifier() const {
    const std::string id =
        m_config.appStoreID() ? std::to_string(*m_config.appStoreID()) : "bundle";
    return "store." + m_config.bundleID() + "." + id + "." + m_config.countryCode();
}

std::string AppStoreUpdateBackend::key(const std::string& name) const {
    if (name == "automatic") {
        // Shared by every storefront country.
        const std::string id =
            m_config.appStoreID() ? std::to_string(*m_config.appStoreID()) : "bundle";
        return "QuorvelUpdates.store." + m_config.bundleID() + "." + id + ".automatic";
    }
    return "QuorvelUpdates." + identifier() + "." + name;
}

bool AppStoreUpdateBackend::automaticallyChecksForUpdates() const {
    return m_defaults.boolValue(key("automatic")).value_or(true);
}

void AppStoreUpdateBackend::setAutomaticallyChecksForUpdates(bool on) {
    m_defaults.setBool(key("automatic"), on);
    if (m_started)
        schedule();
}

std::expected<void, UpdateFailure> AppStoreUpdateBackend::start() {
    if (!m_started) {
        m_started = true;
        schedule();
    }
    return {};
}

void AppStoreUpdateBackend::publish(const UpdateSnapshot& snapshot) {
    m_snapshot = snapshot;
    if (onChange)
        onChange(m_snapshot);
}

void AppStoreUpdateBackend::schedule() {
    m_timer.reset();
    if (automaticallyChecksForUpdates()) {
        checkIfDue();
        m_timer = std::make_unique<QTimer>();
        m_timer->setInterval(kPass);
        QObject::connect(m_timer.get(), &QTimer::timeout, [this] {
            if (m_defaults.boolValue(key("automatic")) == false)
                return;
            checkIfDue();
        });
        m_timer->start();
    } else if (m_requestInFlight && m_backgroundRequest) {
        ++m_generation;
        m_transport->cancel();
        m_requestInFlight = false;
        publish(m_priorSnapshot);
    }
}

void AppStoreUpdateBackend::checkIfDue() {
    if (!automaticallyChecksForUpdates())
        return;
    const auto next = m_defaults.dateValue(key("nextCheck"))
                          .value_or(std::chrono::system_clock::time_point::min());
    const auto current = now();
    if (current >= next || next - current > kDay)
        check(false);
}

void AppStoreUpdateBackend::check(bool userInitiated) {
    if (!m_started)
        return;
    if (m_requestInFlight) {
        if (userInitiated) {
            m_backgroundRequest = false;
            publish({UpdatePhase::checking(), {UpdateAction::cancel}});
        }
        return;
    }
    const auto current = now();
    if (userInitiated && m_lastManualCheck && m_cachedResult) {
        const auto since = current - *m_lastManualCheck;
        if (since >= std::chrono::seconds(0) && since < kReuse) {
            publish(*m_cachedResult);
            return;
        }
    }
    m_priorSnapshot = m_snapshot;
    m_backgroundRequest = !userInitiated;
    if (userInitiated)
        publish({UpdatePhase::checking(), {UpdateAction::cancel}});
    const std::uint64_t generation = ++m_generation;
    m_requestInFlight = true;
    std::weak_ptr<bool> alive = m_alive;
    m_transport->load(
        m_config.lookupURL(),
        [this, alive, generation](std::expected<QByteArray, StoreLookupError> answer) {
            if (alive.lock())
                onAnswer(generation, std::move(answer));
        });
}

void AppStoreUpdateBackend::onAnswer(std::uint64_t generation,
                                     std::expected<QByteArray, StoreLookupError> answer) {
    if (generation != m_generation)
        return;
    std::expected<UpdateSnapshot, UpdateFailure> result =
        answer ? parse(*answer)
               : std::unexpected(answer.error().failure.value_or(UpdateFailure::network));
    m_requestInFlight = false;
    const auto current = now();
    if (result) {
        m_cachedResult = *result;
        m_lastManualCheck = current;
        m_defaults.setDate(key("nextCheck"), current + kDay);
        const auto& release = result->phase.release();
        if (m_backgroundRequest && result->phase.kind() == UpdatePhase::Kind::available &&
            release) {
            if (m_defaults.stringValue(key("skipped")) == release->id)
                return;
            const auto deferUntil = m_defaults.dateValue(key("deferUntil"))
                                        .value_or(std::chrono::system_clock::time_point::min());
            if (deferUntil > current)
                return;
        }
        publish(*result);
        return;
    }
    m_cachedResult.reset();
    m_defaults.setDate(key("nextCheck"), current + kRetry);
    if (m_backgroundRequest)
        return;
    const bool pageExists = m_resolvedStoreID.has_value() || m_config.appStoreID().has_value();
    publish({UpdatePhase::failed(result.error()), failedActions(pageExists)});
}

void AppStoreUpdateBackend::cancelPendingRequest() {
    ++m_generation;
    m_transport->cancel();
    m_requestInFlight = false;
}

void AppStoreUpdateBackend::perform(UpdateAction action) {
    if (!m_started || !m_snapshot.actions.contains(action))
        return;
    switch (action) {
    case UpdateAction::check:
        check(true);
        break;
    case UpdateAction::cancel:
        cancelPendingRequest();
        publish(m_priorSnapshot);
        break;
    case UpdateAction::later:
        cancelPendingRequest();
        m_defaults.setDate(key("deferUntil"), now() + kDay);
        publish({UpdatePhase::idle(), {UpdateAction::check}});
        break;
    case UpdateAction::skip:
        cancelPendingRequest();
        if (m_snapshot.phase.kind() == UpdatePhase::Kind::available && m_snapshot.phase.release())
            m_defaults.setString(key("skipped"), m_snapshot.phase.release()->id);
        publish({UpdatePhase::idle(), {UpdateAction::check}});
        break;
    case UpdateAction::openAppStore: {
        if (m_openingStore)
            break;
        const auto id = m_resolvedStoreID ? m_resolvedStoreID : m_config.appStoreID();
        if (!id)
            break;
        const QUrl page = m_config.storeURL(*id);
        m_openingStore = true;
        std::weak_ptr<bool> alive = m_alive;
        QTimer::singleShot(0, [this, alive, page] {
            if (!alive.lock())
                return;
            m_openStore(page, [this, alive](bool opened) {
                if (!alive.lock())
                    return;
                m_openingStore = false;
                if (!opened)
                    publish({UpdatePhase::failed(UpdateFailure::cannotOpenStore),
                             {UpdateAction::check, UpdateAction::openAppStore}});
            });
        });
        break;
    }
    case UpdateAction::acknowledge:
        publish({UpdatePhase::idle(), {UpdateAction::check}});
        break;
    default:
        break;
    }
}

std::expected<UpdateSnapshot, UpdateFailure> AppStoreUpdateBackend::parse(const QByteArray& body) {
    const auto invalid = std::unexpected(UpdateFailure::invalidResponse);
    if (static_cast<std::uint64_t>(body.size()) > AppleStoreLookupTransport::kMaxBytes)
        return invalid;
    const nlohmann::json response = nlohmann::json::parse(body.begin(), body.end(), nullptr, false);
    if (!response.is_object())
        return invalid;
    auto count = response.find("resultCount");
    auto results = response.find("results");
    if (count == response.end() || !count->is_number_integer() || results == response.end() ||
        !results->is_array())
        return invalid;
    struct Item {
        std::uint64_t trackId = 0;
        std::string bundleId, version, kind;
        std::optional<std::string> minimumOsVersion, releaseNotes;
    };
    std::vector<Item> items;
    for (const auto& entry : *results) {
        if (!entry.is_object())
            return invalid;
        auto text = [&](const char* name, bool required, std::optional<std::string>& out) {
            auto it = entry.find(name);
            if (it == entry.end() || it->is_null())
                return !required;
            if (!it->is_string())
                return false;
            out = it->get<std::string>();
            return true;
        };
        Item item;
        auto track = entry.find("trackId");
        if (track == entry.end() || !track->is_number_unsigned())
            return invalid;
        item.trackId = track->get<std::uint64_t>();
        std::optional<std::string> bundleId, version, kind;
        if (!text("bundleId", true, bundleId) || !text("version", true, version) ||
            !text("kind", true, kind) || !text("minimumOsVersion", false, item.minimumOsVersion) ||
            !text("releaseNotes", false, item.releaseNotes))
            return invalid;
        item.bundleId = *bundleId;
        item.version = *version;
        item.kind = *kind;
        items.push_back(std::move(item));
    }
    if (count->get<std::int64_t>() != static_cast<std::int64_t>(items.size()))
        return invalid;
    if (items.empty())
        return std::unexpected(UpdateFailure::unavailableInStorefront);
    if (items.size() > 1)
        return invalid;
    const Item& item = items.front();
    if (item.trackId == 0 || (m_config.appStoreID() && *m_config.appStoreID() != item.trackId) ||
        item.bundleId != m_config.bundleID() ||
        item.kind != AppStoreUpdateConfiguration::kind(m_config.platform()))
        return invalid;
    const auto storeVersion = StoreVersion::parse(item.version);
    const auto installed = StoreVersion::parse(m_config.installedVersion());
    if (!storeVersion || !installed)
        return invalid;
    m_resolvedStoreID = item.trackId;
    if (!(*installed < *storeVersion))
        return UpdateSnapshot{UpdatePhase::upToDate(), {UpdateAction::check}};
    if (item.minimumOsVersion) {
        const auto minimum = StoreVersion::parse(*item.minimumOsVersion);
        const auto system = StoreVersion::parse(m_config.operatingSystemVersion());
        if (!minimum || !system)
            return invalid;
        if (*system < *minimum)
            return std::unexpected(UpdateFailure::requiresNewerOS);
    }
    UpdateRelease release{item.version, item.version, UpdateSource::appStore, item.releaseNotes};
    return UpdateSnapshot{
        UpdatePhase::available(release),
        {UpdateAction::check, UpdateAction::openAppStore, UpdateAction::later, UpdateAction::skip}};
}

} // namespace quorvel
