#include "quorvel-kit/updates/storefront_update_backend.h"

#include <charconv>

#include <QOperatingSystemVersion>
#include <QSysInfo>
#include <QTimer>

#include "quorvel-kit/updates/storefront_country.h"

namespace quorvel {

void StorefrontProvider::current(std::function<void(std::optional<std::string>)> done) {
    QTimer::singleShot(0, this, [done = std::move(done)] { done(std::nullopt); });
}

StorefrontUpdateBackend::StorefrontUpdateBackend(AppBundle bundle, UserDefaults defaults,
                                                 std::shared_ptr<StorefrontProvider> storefront)
    : m_identifier("storefront." + bundle.identifier().value_or("")), m_bundle(std::move(bundle)),
      m_defaults(std::move(defaults)), m_storefront(std::move(storefront)) {}

StorefrontUpdateBackend::~StorefrontUpdateBackend() {
    QObject::disconnect(m_changes);
    if (m_backend)
        m_backend->onChange = nullptr;
}

std::string StorefrontUpdateBackend::automaticKey() const {
    return "QuorvelUpdates." + m_identifier + ".automatic";
}

bool StorefrontUpdateBackend::automaticallyChecksForUpdates() const {
    return m_defaults.boolValue(automaticKey()).value_or(true);
}

void StorefrontUpdateBackend::setAutomaticallyChecksForUpdates(bool on) {
    m_defaults.setBool(automaticKey(), on);
    if (m_backend)
        m_backend->setAutomaticallyChecksForUpdates(on); // reschedules when started
}

std::expected<void, UpdateFailure> StorefrontUpdateBackend::start() {
    if (m_started)
        return {};
    m_started = true;
    resolve(false);
    std::weak_ptr<bool> alive = m_alive;
    m_changes = QObject::connect(m_storefront.get(), &StorefrontProvider::changed,
                                 m_storefront.get(), [this, alive] {
                                     if (alive.lock())
                                         resolve(false);
                                 });
    return {};
}

void StorefrontUpdateBackend::publish(const UpdateSnapshot& snapshot) {
    m_snapshot = snapshot;
    if (onChange)
        onChange(m_snapshot);
}

void StorefrontUpdateBackend::resolve(bool manual) {
    m_lookupRunning = false;
    if (m_backend) {
        m_backend->onChange = nullptr;
        m_backend.reset();
    }
    const std::uint64_t generation = ++m_generation;
    if (manual)
        publish({UpdatePhase::checking(), {UpdateAction::cancel}});
    m_lookupRunning = true;
    std::weak_ptr<bool> alive = m_alive;
    m_storefront->current([this, alive, generation, manual](std::optional<std::string> country) {
        if (alive.lock())
            lookup(generation, manual, std::move(country));
    });
}

std::string StorefrontUpdateBackend::systemVersion() {
    const QOperatingSystemVersion os = QOperatingSystemVersion::current();
    int major = os.majorVersion();
    int minor = os.minorVersion();
    int patch = os.microVersion();
    if (major < 0) {
        // Linux: the kernel's release, "6.1.0-13-amd64" read as 6.1.0.
        const std::string release = QSysInfo::kernelVersion().toStdString();
        int parts[3] = {0, 0, 0};
        const char* cursor = release.data();
        const char* end = release.data() + release.size();
        for (int i = 0; i < 3 && cursor < end; ++i) {
            auto [next, ec] = std::from_chars(cursor, end, parts[i]);
            if (ec != std::errc())
                break;
            cursor = next;
            if (cursor < end && *cursor == '.')
                ++cursor;
            else
                break;
        }
        major = parts[0];
        minor = parts[1];
        patch = parts[2];
    }
    return std::to_string(std::max(major, 0)) + "." + std::to_string(std::max(minor, 0)) + "." +
           std::to_string(std::max(patch, 0));
}

void StorefrontUpdateBackend::lookup(std::uint64_t generation, bool manual,
                                     std::optional<std::string> storefront) {
    if (generation != m_generation)
        return;
    auto failWith = [&](UpdateFailure failure) {
        m_lookupRunning = false;
        publish({UpdatePhase::failed(failure), {UpdateAction::check}});
    };
    if (!storefront)
        return failWith(UpdateFailure::unavailableInStorefront);
    const auto country = StorefrontCountry::alpha2(*storefront);
    if (!country)
        return failWith(UpdateFailure::unavailableInStorefront);
    const auto bundleID = m_bundle.identifier();
    if (!bundleID)
        return failWith(UpdateFailure::unavailableInStorefront);
    const auto installed = m_bundle.stringValue("CFBundleShortVersionString");
    if (!installed)
        return failWith(UpdateFailure::unavailableInStorefront);
    std::optional<std::uint64_t> storeID;
    if (auto text = m_bundle.stringValue("QuorvelAppStoreID")) {
        std::uint64_t value = 0;
        auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
        if (ec != std::errc() || end != text->data() + text->size() || text->empty())
            return failWith(UpdateFailure::configuration);
        storeID = value;
    }
    auto configuration =
        AppStoreUpdateConfiguration::make(storeID, *bundleID, *installed, systemVersion(), *country,
                                          AppStoreUpdateConfiguration::Platform::macOS);
    if (!configuration)
        return failWith(UpdateFailure::configuration);

    auto backend = std::make_unique<AppStoreUpdateBackend>(*configuration, m_defaults);
    backend->setAutomaticallyChecksForUpdates(automaticallyChecksForUpdates());
    std::weak_ptr<bool> alive = m_alive;
    backend->onChange = [this, alive](const UpdateSnapshot& snapshot) {
        if (alive.lock())
            publish(snapshot);
    };
    m_backend = std::move(backend);
    (void)m_backend->start();
    if (!manual) {
        publish(m_backend->snapshot());
    } else if (m_backend->snapshot().actions.contains(UpdateAction::check)) {
        m_backend->check(true);
    }
    m_lookupRunning = false;
}

void StorefrontUpdateBackend::perform(UpdateAction action) {
    if (action == UpdateAction::cancel && m_lookupRunning) {
        ++m_generation;
        m_lookupRunning = false;
        publish({UpdatePhase::idle(), {UpdateAction::check}});
        return;
    }
    if (action == UpdateAction::check && !m_backend) {
        resolve(true);
        return;
    }
    if (m_backend)
        m_backend->perform(action);
}

} // namespace quorvel
