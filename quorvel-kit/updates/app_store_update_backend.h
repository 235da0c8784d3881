#pragma once

// The update backend of store copies: asks the store's look-up service
// whether a newer version exists, daily while automatic checks are on and
// whenever the user asks, and sends the user to the store page to update.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <QTimer>

#include "quorvel-kit/updates/app_store_update_configuration.h"
#include "quorvel-kit/updates/store_lookup_transport.h"
#include "quorvel-kit/updates/update_backend.h"
#include "quorvel-kit/updates/user_defaults.h"

namespace quorvel {

class AppStoreUpdateBackend : public UpdateBackend {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;
    // Opens an address and reports, on the main thread, whether the system accepted it.
    using StoreOpener = std::function<void(const QUrl&, std::function<void(bool)>)>;

    AppStoreUpdateBackend(AppStoreUpdateConfiguration configuration, UserDefaults defaults,
                          StoreOpener openStore = openStoreURL);
    ~AppStoreUpdateBackend() override;

    static void openStoreURL(const QUrl& url, std::function<void(bool)> done);

    std::string identifier() const override;
    UpdateSnapshot snapshot() const override { return m_snapshot; }
    bool automaticallyChecksForUpdates() const override;
    void setAutomaticallyChecksForUpdates(bool on) override;
    std::expected<void, UpdateFailure> start() override;
    void perform(UpdateAction action) override;

    void check(bool userInitiated);
    void checkIfDue();

    // The rules that turn the look-up's answer into a snapshot.
    std::expected<UpdateSnapshot, UpdateFailure> parse(const QByteArray& body);
    std::optional<std::uint64_t> resolvedStoreID() const { return m_resolvedStoreID; }
    const AppStoreUpdateConfiguration& configuration() const { return m_config; }

    // For tests: a clock of their own.
    void setClock(Clock now) { m_now = std::move(now); }
    std::string key(const std::string& name) const;

private:
    void publish(const UpdateSnapshot& snapshot);
    void schedule();
    void cancelPendingRequest();
    void onAnswer(std::uint64_t generation, std::expected<QByteArray, StoreLookupError> answer);
    std::chrono::system_clock::time_point now() const { return m_now(); }

    UpdateSnapshot m_snapshot{UpdatePhase::idle(), {UpdateAction::check}};
    AppStoreUpdateConfiguration m_config;
    UserDefaults m_defaults;
    std::unique_ptr<StoreLookupTransport> m_transport;
    StoreOpener m_openStore;
    Clock m_now;
    std::unique_ptr<QTimer> m_timer;
    bool m_requestInFlight = false;
    std::uint64_t m_generation = 0;
    bool m_started = false;
    bool m_backgroundRequest = false;
    UpdateSnapshot m_priorSnapshot{UpdatePhase::idle(), {UpdateAction::check}};
    std::optional<UpdateSnapshot> m_cachedResult;
    std::optional<std::chrono::system_clock::time_point> m_lastManualCheck;
    bool m_openingStore = false;
    std::optional<std::uint64_t> m_resolvedStoreID;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace quorvel
