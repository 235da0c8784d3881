#pragma once

// The observable model between one update backend and everything the user
// sees. It owns no timers or network; it announces each available release at
// most once, across launches.

#include <functional>
#include <memory>
#include <string>

#include <QObject>

#include "quorvel-kit/updates/update_backend.h"
#include "quorvel-kit/updates/user_defaults.h"

namespace quorvel {

class QuorvelUpdates : public QObject {
    Q_OBJECT
public:
    QuorvelUpdates(std::shared_ptr<UpdateBackend> backend, UserDefaults defaults,
                   QObject* parent = nullptr);
    ~QuorvelUpdates() override;

    const UpdateSnapshot& snapshot() const { return m_snapshot; }
    bool automaticallyChecksForUpdates() const { return m_automatic; }
    bool started() const { return m_started; }
    const std::string& notificationKey() const { return m_notificationKey; }
    UpdateBackend& backend() const { return *m_backend; }

    // Raised for a newly available release.
    std::function<void(const UpdateRelease&)> onUpdateAvailable;

    void start();
    // Forwards the action only when started and the published snapshot allows it.
    void perform(UpdateAction action);
    // Shows the backend's value afterwards, which may differ from the one asked for.
    void setAutomaticChecks(bool on);

signals:
    void snapshotChanged(const quorvel::UpdateSnapshot& snapshot);
    void automaticChecksChanged(bool on);

private:
    void receive(const UpdateSnapshot& snapshot);
    void publish(const UpdateSnapshot& snapshot);
    void publishAutomatic(bool on);

    UpdateSnapshot m_snapshot;
    bool m_automatic = false;
    std::shared_ptr<UpdateBackend> m_backend;
    UserDefaults m_defaults;
    std::string m_notificationKey;
    bool m_started = false;
};

} // namespace quorvel
