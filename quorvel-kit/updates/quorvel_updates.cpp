#include "quorvel-kit/updates/quorvel_updates.h"

#include <QPointer>

namespace quorvel {

QuorvelUpdates::QuorvelUpdates(std::shared_ptr<UpdateBackend> backend, UserDefaults defaults,
                               QObject* parent)
    : QObject(parent), m_backend(std::move(backend)), m_defaults(std::move(defaults)) {
    m_notificationKey = "QuorvelUpdates." + m_backend->identifier() + ".lastNotifiedRelease";
    m_snapshot = m_backend->snapshot();
    m_automatic = m_backend->automaticallyChecksForUpdates();
    QPointer<QuorvelUpdates> self(this);
    m_backend->onChange = [self](const UpdateSnapshot& snapshot) {
        if (self)
            self->receive(snapshot);
    };
}

QuorvelUpdates::~QuorvelUpdates() {
    m_backend->onChange = nullptr;
}

void QuorvelUpdates::start() {
    if (m_started)
        return;
    if (!m_backend->start()) {
        publish(UpdateSnapshot{UpdatePhase::failed(UpdateFailure::configuration), {}});
        return;
    }
    m_started = true;
    receive(m_backend->snapshot());
}

void QuorvelUpdates::perform(UpdateAction action) {
    if (m_started && m_snapshot.actions.contains(action))
        m_backend->perform(action);
}

void QuorvelUpdates::setAutomaticChecks(bool on) {
    m_backend->setAutomaticallyChecksForUpdates(on);
    publishAutomatic(m_backend->automaticallyChecksForUpdates());
}

void QuorvelUpdates::receive(const UpdateSnapshot& snapshot) {
    publish(snapshot);
    publishAutomatic(m_backend->automaticallyChecksForUpdates());
    const auto& release = snapshot.phase.release();
    if (snapshot.phase.kind() != UpdatePhase::Kind::available || !release || !onUpdateAvailable)
        return;
    const std::string key = std::string(rawValue(release->source)) + ":" + release->id;
    if (m_defaults.stringValue(m_notificationKey) == key)
        return;
    // Remembered before the callback, so a callback that re-enters cannot announce twice.
    m_defaults.setString(m_notificationKey, key);
    const UpdateRelease announced = *release;
    onUpdateAvailable(announced);
}

void QuorvelUpdates::publish(const UpdateSnapshot& snapshot) {
    m_snapshot = snapshot;
    emit snapshotChanged(m_snapshot);
}

void QuorvelUpdates::publishAutomatic(bool on) {
    const bool changed = on != m_automatic;
    m_automatic = on;
    if (changed)
        emit automaticChecksChanged(on);
}

} // namespace quorvel
