#pragma once

// The update backend of directly distributed copies: checks that the copy is
// one and that its information asks for the strict security settings, then
// runs the updater with the user driver that turns its steps into snapshots.

#include <expected>
#include <functional>
#include <memory>
#include <optional>

#include <QMetaObject>
#include <QUrl>

#include "quorvel-direct-updates/sparkle_user_driver.h"
#include "quorvel-direct-updates/updater.h"
#include "quorvel-kit/updates/app_bundle.h"
#include "quorvel-kit/updates/update_backend.h"

namespace quorvel {

class SparkleUpdateBackend : public UpdateBackend {
public:
    // `terminate` ends the program once the new build has started; by default it quits the
    // application's event loop.
    SparkleUpdateBackend(
        AppBundle bundle, std::function<bool()> canRelaunch = [] { return true; },
        std::function<void()> terminate = {});
    ~SparkleUpdateBackend() override;

    std::string identifier() const override;
    UpdateSnapshot snapshot() const override { return m_driver.snapshot(); }
    bool automaticallyChecksForUpdates() const override;
    void setAutomaticallyChecksForUpdates(bool on) override;
    std::expected<void, UpdateFailure> start() override;
    void perform(UpdateAction action) override;

    // The updater's feed address: "SUFeedURL" when it is a string.
    std::optional<std::string> feedURLString() const;

    static std::expected<void, UpdateFailure> validate(const nlohmann::json& info,
                                                       bool hasStoreReceipt);
    static bool secureURL(const QUrl& url);

    const SparkleUserDriver& driver() const { return m_driver; }

private:
    bool initialAutomaticChecks() const;

    AppBundle m_bundle;
    SparkleUserDriver m_driver;
    std::unique_ptr<Updater> m_updater;
    QMetaObject::Connection m_observation;
    std::optional<bool> m_pendingAutomaticChecks;
    std::function<void()> m_terminate;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace quorvel
