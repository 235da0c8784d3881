#pragma once

// The update backend of store copies that follows the store account's
// country: for the current storefront it builds a store backend and forwards
// its snapshots; when the storefront changes it builds a new one.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QObject>

#include "quorvel-kit/updates/app_bundle.h"
#include "quorvel-kit/updates/app_store_update_backend.h"
#include "quorvel-kit/updates/update_backend.h"
#include "quorvel-kit/updates/user_defaults.h"

namespace quorvel {

// Where the current storefront comes from. This platform has no store
// account, so the default provider answers none and never changes.
class StorefrontProvider : public QObject {
    Q_OBJECT
public:
    // Answers the storefront's three-letter country code, or none, on the main thread.
    virtual void current(std::function<void(std::optional<std::string>)> done);

signals:
    void changed();
};

class StorefrontUpdateBackend : public UpdateBackend {
public:
    StorefrontUpdateBackend(
        AppBundle bundle, UserDefaults defaults,
        std::shared_ptr<StorefrontProvider> storefront = std::make_shared<StorefrontProvider>());
    ~StorefrontUpdateBackend() override;

    std::string identifier() const override { return m_identifier; }
    UpdateSnapshot snapshot() const override { return m_snapshot; }
    bool automaticallyChecksForUpdates() const override;
    void setAutomaticallyChecksForUpdates(bool on) override;
    std::expected<void, UpdateFailure> start() override;
    void perform(UpdateAction action) override;

    // The store backend of the current storefront, if one was built.
    AppStoreUpdateBackend* storeBackend() const { return m_backend.get(); }
    // The running system's version as major.minor.patch.
    static std::string systemVersion();

private:
    void resolve(bool manual);
    void lookup(std::uint64_t generation, bool manual, std::optional<std::string> country);
    void publish(const UpdateSnapshot& snapshot);
    std::string automaticKey() const;

    std::string m_identifier;
    UpdateSnapshot m_snapshot{UpdatePhase::idle(), {UpdateAction::check}};
    AppBundle m_bundle;
    UserDefaults m_defaults;
    std::shared_ptr<StorefrontProvider> m_storefront;
    std::unique_ptr<AppStoreUpdateBackend> m_backend;
    bool m_lookupRunning = false;
    std::uint64_t m_generation = 0;
    bool m_started = false;
    QMetaObject::Connection m_changes;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace quorvel
