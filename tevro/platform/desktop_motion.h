#pragma once

// Whether the desktop asks for less motion. Read from the desktop portal's
// settings on the session bus, where the desktop publishes them: the
// freedesktop "reduced-motion" of org.freedesktop.appearance and GNOME's
// "enable-animations" of org.gnome.desktop.interface; either one asking for
// less motion is enough. Changes are followed as the portal announces them.
// Without a bus or a portal, and until the portal answers, views animate.

#include <optional>

#include <QDBusConnection>
#include <QObject>

class QDBusMessage;

namespace tevro {

class DesktopMotion : public QObject {
    Q_OBJECT
public:
    // The application's reading, on the session bus; created on first use.
    static DesktopMotion& shared();

    // Reads the portal on `bus` (asynchronously: the answer comes later).
    explicit DesktopMotion(const QDBusConnection& bus, QObject* parent = nullptr);

    bool reduced() const { return m_reduced; }
    // The state as a portal answer sets it; reducedChanged() when it differs.
    void setReduced(bool reduced);

signals:
    void reducedChanged(bool reduced);

private slots:
    void onSettingChanged(const QDBusMessage& message);

private:
    void read(const QString& group, const QString& key, bool oldMethod = false);
    void apply(const QString& group, const QString& key, const QVariant& value);

    QDBusConnection m_bus;
    std::optional<bool> m_appearance; // "reduced-motion" asks for less motion
    std::optional<bool> m_gnome;      // "enable-animations" is off
    bool m_reduced = false;
};

} // namespace tevro
