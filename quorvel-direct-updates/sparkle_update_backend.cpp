#include "quorvel-direct-updates/sparkle_update_backend.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include "quorvel-direct-updates/ed25519.h"
#include "quorvel-direct-updates/secure_url.h"
#include "quorvel-kit/updates/user_defaults.h"

namespace quorvel {

SparkleUpdateBackend::SparkleUpdateBackend(AppBundle bundle, std::function<bool()> canRelaunch,
                                           std::function<void()> terminate)
    : m_bundle(std::move(bundle)), m_driver(std::move(canRelaunch)),
      m_terminate(std::move(terminate)) {
    std::weak_ptr<bool> alive = m_alive;
    m_driver.onChange = [this, alive](const UpdateSnapshot& snapshot) {
        if (alive.lock() && onChange)
            onChange(snapshot);
    };
    if (!m_terminate)
        m_terminate = [] { QCoreApplication::quit(); };
}

SparkleUpdateBackend::~SparkleUpdateBackend() {
    QObject::disconnect(m_observation);
    m_driver.onChange = nullptr;
    m_updater.reset();
}

std::string SparkleUpdateBackend::identifier() const {
    return "direct." + m_bundle.identifier().value_or("");
}

bool SparkleUpdateBackend::initialAutomaticChecks() const {
    const auto identifier = m_bundle.identifier();
    if (!identifier)
        return false;
    if (auto stored = UserDefaults(*identifier).boolValue("SUEnableAutomaticChecks"))
        return *stored;
    auto it = m_bundle.info().find("SUEnableAutomaticChecks");
    return it != m_bundle.info().end() && it->is_boolean() && it->get<bool>();
}

bool SparkleUpdateBackend::automaticallyChecksForUpdates() const {
    if (m_updater)
        return m_updater->automaticallyChecksForUpdates();
    if (m_pendingAutomaticChecks)
        return *m_pendingAutomaticChecks;
    return initialAutomaticChecks();
}

void SparkleUpdateBackend::setAutomaticallyChecksForUpdates(bool on) {
    if (m_updater)
        m_updater->setAutomaticallyChecksForUpdates(on);
    else
        m_pendingAutomaticChecks = on;
}

std::optional<std::string> SparkleUpdateBackend::feedURLString() const {
    return m_bundle.stringValue("SUFeedURL");
}

std::expected<void, UpdateFailure> SparkleUpdateBackend::start() {
    if (m_updater)
        return {};
    std::error_code ec;
    const bool receipt =
        std::filesystem::exists(m_bundle.path() / "Contents/_MASReceipt/receipt", ec);
    if (auto valid = validate(m_bundle.info(), receipt); !valid)
        return valid;
    Updater::Delegate delegate;
    std::weak_ptr<bool> alive = m_alive;
    delegate.feedURLString = [this, alive]() -> std::optional<std::string> {
        return alive.lock() ? feedURLString() : std::nullopt;
    };
    delegate.terminate = m_terminate;
    auto updater = std::make_unique<Updater>(m_bundle, m_driver, delegate);
    if (!updater->start())
        return std::unexpected(UpdateFailure::configuration);
    m_updater = std::move(updater);
    if (m_pendingAutomaticChecks)
        m_updater->setAutomaticallyChecksForUpdates(*m_pendingAutomaticChecks);
    auto observe = [this](bool canCheck) {
        Q_ASSERT(QThread::currentThread() == qApp->thread());
        m_driver.canCheck = canCheck;
        m_driver.republish();
    };
    m_observation = QObject::connect(m_updater.get(), &Updater::canCheckForUpdatesChanged,
                                     m_updater.get(), observe);
    observe(m_updater->canCheckForUpdates());
    return {};
}

void SparkleUpdateBackend::perform(UpdateAction action) {
    if (!m_driver.snapshot().actions.contains(action))
        return;
    if (action == UpdateAction::check) {
        if (m_updater && m_updater->canCheckForUpdates())
            m_updater->checkForUpdates();
        return;
    }
    m_driver.perform(action);
}

bool SparkleUpdateBackend::secureURL(const QUrl& url) {
    return isSecureUrl(url);
}

std::expected<void, UpdateFailure> SparkleUpdateBackend::validate(const nlohmann::json& info,
                                                                  bool hasStoreReceipt) {
    auto string = [&](const char* key) -> std::optional<std::string> {
        auto it = info.find(key);
        if (it == info.end() || !it->is_string())
            return std::nullopt;
        return it->get<std::string>();
    };
    auto boolean = [&](const char* key) -> std::optional<bool> {
        auto it = info.find(key);
        if (it == info.end() || !it->is_boolean())
            return std::nullopt;
        return it->get<bool>();
    };
    auto integer = [&](const char* key) -> std::optional<std::int64_t> {
        auto it = info.find(key);
        if (it == info.end() || !it->is_number_integer())
            return std::nullopt;
        return it->get<std::int64_t>();
    };
    const auto feed = string("SUFeedURL");
    const auto key = string("SUPublicEDKey");
    const bool rules[] = {
        !hasStoreReceipt,
        string("QuorvelDistributionChannel") == "direct",
        string("CFBundleIdentifier").value_or("").size() > 0,
        feed && QUrl(QString::fromStdString(*feed), QUrl::StrictMode).isValid() &&
            isSecureUrl(QUrl(QString::fromStdString(*feed), QUrl::StrictMode)),
        key &&
            decodeStrictBase64(QByteArray::fromStdString(*key)).value_or(QByteArray()).size() == 32,
        boolean("SURequireSignedFeed") == true,
        boolean("SUVerifyUpdateBeforeExtraction") == true,
        integer("SUSignedFeedFailureExpirationInterval") == 0,
        boolean("SUEnableAutomaticChecks").has_value(),
        boolean("SUAllowsAutomaticUpdates") == false,
    };
    for (bool holds : rules) {
        if (!holds)
            return std::unexpected(UpdateFailure::configuration);
    }
    return {};
}

} // namespace quorvel
