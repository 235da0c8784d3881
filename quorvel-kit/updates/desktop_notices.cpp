#include "quorvel-kit/updates/desktop_notices.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QVariantMap>

#include "quorvel-kit/updates/user_defaults.h"

namespace quorvel {

namespace {
constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kAuthorizedKey = "QuorvelUpdates.noticesAuthorized";
} // namespace

DesktopNotices::DesktopNotices(QObject* parent) : QObject(parent) {}

bool DesktopNotices::available() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    return bus.interface()->isServiceRegistered(QString::fromLatin1(kService)).value();
}

bool DesktopNotices::authorized() {
    return UserDefaults::standard().boolValue(kAuthorizedKey).value_or(false);
}

void DesktopNotices::requestAuthorization() {
    UserDefaults::standard().setBool(kAuthorizedKey, true);
}

void DesktopNotices::post(const std::string& identifier, const QString& title,
                          const QString& body) {
    if (!available())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                       QString::fromLatin1(kService), QStringLiteral("Notify"));
    auto previous = m_shown.find(identifier);
    const uint replaces = previous == m_shown.end() ? 0 : previous->second;
    call << QCoreApplication::applicationName() << replaces << QString() << title << body
         << QStringList() << QVariantMap() << int(-1);
    // Never wait on the bus from the main thread.
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    QPointer<DesktopNotices> self(this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [self, identifier](QDBusPendingCallWatcher* finished) {
                QDBusPendingReply<uint> reply = *finished;
                if (self && reply.isValid())
                    self->m_shown[identifier] = reply.value();
                finished->deleteLater();
            });
}

} // namespace quorvel
