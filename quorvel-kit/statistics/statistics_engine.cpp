#include "quorvel-kit/statistics/statistics_engine.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>

#include <QStandardPaths>
#include <QTimer>
#include <QUuid>

#include "quorvel-kit/statistics/bundle.h"
#include "quorvel-kit/statistics/file_identity_store.h"
#include "quorvel-kit/statistics/file_io.h"
#include "quorvel-kit/statistics/keychain_identity_store.h"
#include "quorvel-kit/statistics/mirrored_identity_store.h"
#include "quorvel-kit/statistics/registry_locales.h"
#include "quorvel-kit/statistics/url_session_transport.h"

namespace quorvel {

namespace {

// The canonical 8-4-4-4-12 form only, in either letter case.
bool isUuidText(const std::string& text) {
    if (text.size() != 36)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !std::isxdigit((unsigned char)text[i]))
            return false;
    }
    return true;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string newUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toLower().toStdString();
}

bool isLoopbackHost(const QUrl& url) {
    QString host = url.host();
    return host == "127.0.0.1" || host == "::1" || host == "localhost";
}

std::string countBucket(int64_t count) {
    if (count <= 1)
        return "1";
    if (count <= 5)
        return "2-5";
    if (count <= 20)
        return "6-20";
    if (count <= 100)
        return "21-100";
    return "100+";
}

} // namespace

EngineDependencies EngineDependencies::standard() {
    EngineDependencies d;
    d.transport = std::make_shared<URLSessionTransport>();
    d.processEnvironment = ProcessInfo::current().environment;
    return d;
}

std::shared_ptr<StatisticsEngine>
StatisticsEngine::create(StatisticsConfiguration configuration, EngineDependencies dependencies,
                         std::shared_ptr<FeatureCounters> counters, bool enabled) {
    return std::shared_ptr<StatisticsEngine>(new StatisticsEngine(
        std::move(configuration), std::move(dependencies), std::move(counters), enabled));
}

StatisticsEngine::StatisticsEngine(StatisticsConfiguration configuration,
                                   EngineDependencies dependencies,
                                   std::shared_ptr<FeatureCounters> counters, bool enabled)
    : m_configuration(std::move(configuration)), m_dependencies(std::move(dependencies)),
      m_counters(std::move(counters)), m_state(KitState::fresh(systemNow())), m_enabled(enabled) {
    if (!m_dependencies.transport)
        m_dependencies.transport = std::make_shared<URLSessionTransport>();
    if (!m_dependencies.now)
        m_dependencies.now = systemNow;
}

StatisticsEngine::~StatisticsEngine() = default;

std::vector<nlohmann::json> StatisticsEngine::queuedEvents() const {
    std::vector<nlohmann::json> events;
    if (!m_queue)
        return events;
    for (const EventQueue::Entry& e : m_queue->entries()) {
        nlohmann::json j = nlohmann::json::parse(e.json, nullptr, false);
        if (j.is_object())
            events.push_back(std::move(j));
    }
    return events;
}

std::string StatisticsEngine::localDate(int64_t day) {
    return localDateText(day);
}

std::optional<double> StatisticsEngine::retryAfter(const HttpResponse& response) {
    std::optional<std::string> header = response.header("Retry-After");
    if (!header || header->empty())
        return std::nullopt;
    std::string_view text = *header;
    bool plus = text.front() == '+';
    if (plus)
        text.remove_prefix(1);
    size_t digits = text.starts_with('-') ? 1 : 0;
    // from_chars would also take "inf" and "nan"; only digits are a number here.
    if (text.size() <= digits ||
        !(std::isdigit((unsigned char)text[digits]) || text[digits] == '.') || (plus && digits))
        return std::nullopt;
    double value = 0;
    auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<QUrl>
StatisticsEngine::resolveEndpoint(const QUrl& configured, Channel channel,
                                  const std::map<std::string, std::string>& env) {
    if (channel != Channel::debug && channel != Channel::test)
        return configured;
    auto it = env.find("QUORVEL_STATISTICS_ENDPOINT");
    if (it != env.end()) {
        QUrl override(QString::fromStdString(it->second), QUrl::StrictMode);
        if (override.isValid() && isLoopbackHost(override))
            return override;
    }
    if (isLoopbackHost(configured))
        return configured;
    return std::nullopt;
}

std::filesystem::path StatisticsEngine::storageDirectory(Channel channel) const {
    if (m_dependencies.storageDirectory)
        return *m_dependencies.storageDirectory;
    if (m_configuration.storageDirectory)
        return *m_configuration.storageDirectory;
    auto root = m_dependencies.processEnvironment.find("QUORVEL_TEST_ROOT");
    if (channel == Channel::test && root != m_dependencies.processEnvironment.end())
        return std::filesystem::path(root->second) / "quorvel-kit" / m_configuration.appID;
    std::string owner = Bundle::main().string("CFBundleIdentifier").value_or(m_configuration.appID);
    std::filesystem::path data =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString();
    return data / owner / "QuorvelKit";
}

std::string StatisticsEngine::newInstallationID() {
    std::string id = newUuid();
    if (m_identity)
        (void)m_identity->save(id);
    return id;
}

void StatisticsEngine::bootstrap() {
    if (m_environment)
        return;
    m_environment = m_dependencies.environment
                        ? *m_dependencies.environment
                        : ClientEnvironment::detect(Bundle::main(), ProcessInfo::current());
    Channel channel = m_environment->channel;
    m_storage = storageDirectory(channel);

    if (m_dependencies.identity) {
        m_identity = m_dependencies.identity;
    } else if (channel == Channel::debug || channel == Channel::test) {
        m_identity = std::make_shared<FileIdentityStore>(*m_storage / "installation-id");
    } else {
        // Whether a Secret Service runs can differ from run to run: the
        // identifier is kept in the keychain and the file alike.
        std::shared_ptr<IdentityStore> keychain;
        if (KeychainIdentityStore::available())
            keychain =
                std::make_shared<KeychainIdentityStore>(m_configuration.keychainService.value_or(
                    "com.quorvel.kit." + m_configuration.appID));
        m_identity = std::make_shared<MirroredIdentityStore>(
            keychain, std::make_shared<FileIdentityStore>(*m_storage / "installation-id"),
            isUuidText);
    }
    m_queue.emplace(*m_storage / "queue.jsonl");
    m_endpoint =
        resolveEndpoint(m_configuration.endpoint, channel, m_dependencies.processEnvironment);

    std::optional<std::string> stored = m_identity->load();
    if (stored && isUuidText(*stored))
        stored = lower(*stored);
    else
        stored.reset();

    std::vector<std::pair<std::string, StatProperties>> noted;
    std::optional<std::string> text = readFile(*m_storage / "state.json");
    std::optional<KitState> decoded = text ? KitState::decode(*text) : std::nullopt;
    if (decoded) {
        m_state = std::move(*decoded);
        m_installationID = stored ? *stored : newInstallationID();
    } else if (stored) {
        m_state = KitState::fresh(m_dependencies.now());
        m_installationID = *stored;
        noted.push_back({"reinstall_detected", {}});
    } else {
        m_state = KitState::fresh(m_dependencies.now());
        m_installationID = newInstallationID();
        noted.push_back({"install_activated", {}});
    }

    // The state is saved a little after each append: after a crash the queue
    // may hold events numbered at or above the saved next number.
    for (const EventQueue::Entry& e : m_queue->entries()) {
        nlohmann::json j = nlohmann::json::parse(e.json, nullptr, false);
        if (j.is_object() && j.contains("seq") && j["seq"].is_number_integer() &&
            j["seq"].get<int64_t>() >= m_state.seq && j["seq"].get<int64_t>() < INT64_MAX)
            m_state.seq = j["seq"].get<int64_t>() + 1;
    }

    // A deletion asked for before now concerns the identity just loaded and
    // whatever the queue file still holds from it.
    if (m_deletionAwaitingBootstrap) {
        m_deletionAwaitingBootstrap = false;
        m_queue->clear();
        if (stored)
            m_state.pendingDeletions.push_back(m_installationID);
        m_installationID = newInstallationID();
        m_state.features.reset();
        m_flushRequested = true;
    }

    if (m_state.lastVersion && *m_state.lastVersion != m_environment->appVersion)
        noted.push_back({"app_updated", {{"from_version", StatValue(*m_state.lastVersion)}}});
    m_state.lastVersion = m_environment->appVersion;

    if (m_enabled) {
        Date now = m_dependencies.now();
        for (const auto& [name, properties] : noted)
            append(name, properties, now);
        m_counters->restoreCurrent(m_state.features);
        rollFeatures();
        checkActiveDay();
        for (const PendingEvent& e : m_pending)
            append(e.name, e.properties, e.date);
    }
    m_pending.clear();
    save();
    if (m_dependencies.timers) {
        scheduleDayTimer();
        scheduleUpload();
    }
}

void StatisticsEngine::record(const std::string& name, const StatProperties& properties,
                              Date date) {
    if (!m_enabled)
        return;
    if (!m_environment) {
        m_pending.push_back({name, properties, date});
        return;
    }
    append(name, properties, date);
}

void StatisticsEngine::append(const std::string& name, const StatProperties& properties,
                              Date date) {
    if (!m_environment || !m_queue)
        return;
    const ClientEnvironment& env = *m_environment;
    nlohmann::json props = nlohmann::json::object();
    for (const auto& [key, value] : properties)
        props[key] = value.json();
    std::string locale = m_configuration.localization ? m_configuration.localization() : "";
    std::string id = newUuid();
    nlohmann::json envelope{
        {"event_id", id},
        {"schema", 1},
        {"app_id", m_configuration.appID},
        {"platform", env.platform},
        {"app_version", env.appVersion},
        {"build", env.build},
        {"channel", std::string(rawValue(env.channel))},
        {"os_version", env.osVersion},
        {"arch", env.arch},
        {"device_family", env.deviceFamily},
        {"locale", RegistryLocales::code(locale)},
        {"installation_id", m_installationID},
        {"seq", m_state.seq},
        {"client_time", isoTimestamp(date)},
        {"local_date", localDate(m_counters->timeZone().dayNumber(date))},
        {"name", name},
        {"props", std::move(props)},
    };
    std::string json;
    try {
        json = envelope.dump();
    } catch (const nlohmann::json::exception&) {
        return; // text that is not UTF-8: the event cannot be sent
    }
    ++m_state.seq;
    m_queue->append({id, std::move(json)});
    scheduleSave();
    if (m_queue->entries().size() < kFlushThreshold) {
        if (m_dependencies.timers && !m_uploadTimer)
            scheduleUpload();
    } else {
        m_flushRequested = true;
        scheduleUpload();
    }
}

std::string StatisticsEngine::daysBucket(Date date) const {
    int64_t d = int64_t(std::trunc((date - m_state.installedAt) / 86400.0));
    if (d <= 0)
        return "0";
    if (d == 1)
        return "1";
    if (d <= 7)
        return "2-7";
    if (d <= 30)
        return "8-30";
    if (d <= 90)
        return "31-90";
    if (d <= 365)
        return "91-365";
    return "365+";
}

void StatisticsEngine::checkActiveDay() {
    if (!m_enabled || !m_environment)
        return;
    Date now = m_dependencies.now();
    int64_t day = m_counters->timeZone().dayNumber(now);
    if (m_state.lastActiveDay == day)
        return;
    m_state.lastActiveDay = day;
    StatProperties props{
        {"launch_at_login",
         StatValue(m_configuration.launchAtLogin ? m_configuration.launchAtLogin() : false)},
        {"days_since_install", StatValue(daysBucket(now))},
    };
    if (!m_state.permissions.empty()) {
        StatValue::Object permissions;
        for (const auto& [name, state] : m_state.permissions)
            permissions.emplace(name, StatValue(state));
        props.emplace("permissions", StatValue(std::move(permissions)));
    }
    append("active_day", props, now);
}

void StatisticsEngine::rollFeatures() {
    if (!m_enabled || !m_environment)
        return;
    int64_t today = m_counters->timeZone().dayNumber(m_dependencies.now());
    for (const FeatureCounters::Day& day : m_counters->takeFinished(today)) {
        if (day.counts.empty())
            continue;
        StatValue::Object counts;
        for (const auto& [name, count] : day.counts)
            counts.emplace(name, StatValue(countBucket(count)));
        append("feature_daily", {{"counts", StatValue(std::move(counts))}}, day.last);
    }
    m_state.features = m_counters->takeSnapshot();
}

void StatisticsEngine::updatePermissions(
    const std::map<std::string, PermissionState>& permissions) {
    if (permissions.empty())
        return;
    bool same = std::all_of(permissions.begin(), permissions.end(), [&](const auto& p) {
        auto it = m_state.permissions.find(p.first);
        return it != m_state.permissions.end() && it->second == rawValue(p.second);
    });
    if (same)
        return;
    for (const auto& [name, state] : permissions)
        m_state.permissions[name] = std::string(rawValue(state));
    if (m_enabled && m_environment) {
        StatValue::Object all;
        for (const auto& [name, state] : m_state.permissions)
            all.emplace(name, StatValue(state));
        append("permission_state", {{"permissions", StatValue(std::move(all))}},
               m_dependencies.now());
    } else {
        scheduleSave();
    }
}

void StatisticsEngine::setEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    m_counters->setEnabled(enabled);
    if (!enabled) {
        if (m_queue)
            m_queue->clear();
        m_pending.clear();
        m_state.features.reset();
        m_flushRequested = false;
    } else {
        checkActiveDay();
    }
    save();
    scheduleUpload();
}

void StatisticsEngine::deleteCollectedData() {
    std::string old = m_installationID;
    if (m_queue)
        m_queue->clear();
    m_pending.clear();
    m_counters->discard(m_enabled);
    m_state.features.reset();
    if (m_environment) {
        if (!old.empty())
            m_state.pendingDeletions.push_back(old);
        m_installationID = newInstallationID();
    } else {
        // Nothing is known of the identity yet: bootstrap carries the request out.
        m_deletionAwaitingBootstrap = true;
    }
    m_flushRequested = true;
    save();
    scheduleUpload();
}

void StatisticsEngine::requestFlush() {
    m_flushRequested = true;
    scheduleUpload();
}

void StatisticsEngine::wake() {
    rollFeatures();
    checkActiveDay();
    if (m_dependencies.timers)
        scheduleDayTimer();
    requestFlush();
}

void StatisticsEngine::save() {
    m_saveTimer.reset();
    if (!m_storage)
        return;
    m_state.features = m_counters->takeSnapshot();
    std::error_code ec;
    std::filesystem::create_directories(*m_storage, ec);
    if (ec)
        return;
    (void)writeFileAtomically(*m_storage / "state.json", m_state.encode());
}

void StatisticsEngine::saveIfCountersChanged() {
    if (m_counters->changed())
        save();
}

std::unique_ptr<QTimer> StatisticsEngine::arm(double seconds, void (StatisticsEngine::*work)()) {
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    double ms = std::clamp(std::ceil(seconds * 1000.0), 0.0, double(INT_MAX));
    std::weak_ptr<StatisticsEngine> weak = weak_from_this();
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [weak, work] {
        if (auto engine = weak.lock())
            (engine.get()->*work)();
    });
    timer->start(int(ms));
    return timer;
}

void StatisticsEngine::scheduleSave() {
    if (m_saveTimer || !m_dependencies.timers)
        return;
    m_saveTimer = arm(2, &StatisticsEngine::saveTimerFired);
}

void StatisticsEngine::saveTimerFired() {
    // The timer is inside its own signal: let the event loop delete it.
    if (m_saveTimer)
        m_saveTimer.release()->deleteLater();
    save();
}

void StatisticsEngine::scheduleDayTimer() {
    m_dayTimer.reset();
    Date now = m_dependencies.now();
    const TimeZone& zone = m_counters->timeZone();
    double midnight = double(zone.dayNumber(now) + 1) * 86400.0 - zone.offsetAt(now);
    double delay = std::min(600.0, std::max(1.0, midnight - now + 1));
    m_dayDue = now + delay;
    m_dayTimer = arm(delay, &StatisticsEngine::dayTimerFired);
}

void StatisticsEngine::dayTimerFired() {
    if (m_dayTimer)
        m_dayTimer.release()->deleteLater();
    m_dayDue.reset();
    rollFeatures();
    checkActiveDay();
    saveIfCountersChanged();
    scheduleDayTimer();
}

} // namespace quorvel
