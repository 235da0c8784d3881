#include "tevro/platform/desktop_motion.h"

#include <QDBusMessage>
#include <QList>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPointer>

namespace tevro {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kReducedMotion = QStringLiteral("reduced-motion");
const QString kGnome = QStringLiteral("org.gnome.desktop.interface");
const QString kAnimations = QStringLiteral("enable-animations");

// The portal's older Read wraps the value in one more variant.
QVariant unwrap(QVariant value) {
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

} // namespace

DesktopMotion& DesktopMotion::shared() {
    static DesktopMotion* motion = new DesktopMotion(QDBusConnection::sessionBus());
    return *motion;
}

DesktopMotion::DesktopMotion(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus) {
    if (!m_bus.isConnected())
        return;
    // The whole message: a slot taking the value as a variant is not matched.
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                  SLOT(onSettingChanged(QDBusMessage)));
    read(kAppearance, kReducedMotion);
    read(kGnome, kAnimations);
}

void DesktopMotion::read(const QString& group, const QString& key, bool oldMethod) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       oldMethod ? QStringLiteral("Read")
                                                                 : QStringLiteral("ReadOne"));
    call << group << key;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, group, key, oldMethod] {
                watcher->deleteLater();
                QDBusPendingReply<QDBusVariant> reply = *watcher;
                if (reply.isError()) {
                    // A portal of the first version knows only Read; an
                    // unpublished key or no portal leaves the default.
                    if (!oldMethod && reply.error().type() == QDBusError::UnknownMethod)
                        read(group, key, true);
                    return;
                }
                apply(group, key, reply.value().variant());
            });
}

void DesktopMotion::onSettingChanged(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() == 3)
        apply(args[0].toString(), args[1].toString(), args[2]);
}

void DesktopMotion::apply(const QString& group, const QString& key, const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (group == kAppearance && key == kReducedMotion)
        m_appearance = value.toUInt() == 1;
    else if (group == kGnome && key == kAnimations)
        m_gnome = !value.toBool();
    else
        return;
    setReduced(m_appearance.value_or(false) || m_gnome.value_or(false));
}

void DesktopMotion::setReduced(bool reduced) {
    if (reduced == m_reduced)
        return;
    m_reduced = reduced;
    emit reducedChanged(reduced);
}

} // namespace tevro
