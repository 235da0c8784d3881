#pragma once

// The desktop's notification service, on the tests' own session bus: it
// records every notice it is asked to show.

#include <vector>

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace tevro::test {

class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notice {
        uint id;
        uint replaces;
        QString summary;
        QString body;
    };

    NotificationServer()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "notices")) {
        m_registered = m_bus.registerService("org.freedesktop.Notifications") &&
                       m_bus.registerObject("/org/freedesktop/Notifications", this,
                                            QDBusConnection::ExportAllSlots);
    }
    ~NotificationServer() override {
        m_bus.unregisterObject("/org/freedesktop/Notifications");
        m_bus.unregisterService("org.freedesktop.Notifications");
        QDBusConnection::disconnectFromBus("notices");
    }

    bool registered() const { return m_registered; }
    std::vector<Notice> notices;

public slots:
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int) {
        const uint id = replaces ? replaces : ++m_next;
        notices.push_back({id, replaces, summary, body});
        return id;
    }

private:
    QDBusConnection m_bus;
    bool m_registered = false;
    uint m_next = 0;
};

} // namespace tevro::test
