// The desktop's wish for less motion, read from a stand-in for the desktop
// portal's settings on a private session bus.

#include "tevro/platform/desktop_motion.h"

#include <map>
#include <memory>
#include <utility>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusVariant>
#include <QProcess>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "tests/support/qt_app.h"

using namespace tevro;
using namespace std::chrono_literals;

namespace {

// Answers Read and ReadOne from `values` (version 1 of the portal has only
// Read, whose value comes wrapped in one more variant) and announces changes.
class PortalSettings : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    std::map<std::pair<QString, QString>, QVariant> values;
    bool firstVersion = false;

    void change(const QString& group, const QString& key, const QVariant& value) {
        values[{group, key}] = value;
        emit SettingChanged(group, key, QDBusVariant(value));
    }

public slots:
    QDBusVariant ReadOne(const QString& group, const QString& key) {
        if (firstVersion) {
            sendErrorReply(QDBusError::UnknownMethod, QStringLiteral("no ReadOne"));
            return {};
        }
        return lookUp(group, key);
    }
    QDBusVariant Read(const QString& group, const QString& key) {
        const QDBusVariant value = lookUp(group, key);
        return QDBusVariant(QVariant::fromValue(value));
    }

signals:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    QDBusVariant lookUp(const QString& group, const QString& key) {
        auto it = values.find({group, key});
        if (it == values.end()) {
            sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                           QStringLiteral("not published"));
            return {};
        }
        return QDBusVariant(it->second);
    }
};

const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kGnome = QStringLiteral("org.gnome.desktop.interface");

class DesktopMotionTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureQtApp();
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(5000))
            GTEST_SKIP() << "no dbus-daemon";
        address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        QDBusConnection::disconnectFromBus(QStringLiteral("app"));
        daemon.kill();
        daemon.waitForFinished();
    }

    // The portal on the bus, serving `settings`.
    void publish(PortalSettings& settings) {
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("portal"));
        ASSERT_TRUE(bus.isConnected());
        ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &settings,
                                       QDBusConnection::ExportAllSlots |
                                           QDBusConnection::ExportAllSignals));
        ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    }

    std::unique_ptr<DesktopMotion> read() {
        return std::make_unique<DesktopMotion>(
            QDBusConnection::connectToBus(address, QStringLiteral("app")));
    }

    QProcess daemon;
    QString address;
};

TEST_F(DesktopMotionTest, WithoutAPortalViewsAnimate) {
    auto motion = read();
    test::spinFor(300ms);
    EXPECT_FALSE(motion->reduced());
    // Without a bus at all, too.
    DesktopMotion offline(QDBusConnection(QStringLiteral("none")));
    EXPECT_FALSE(offline.reduced());
}

TEST_F(DesktopMotionTest, EitherPublishedSettingAsksForLessMotion) {
    struct Case {
        const char* what;
        std::map<std::pair<QString, QString>, QVariant> values;
        bool firstVersion;
        bool reduced;
    } cases[] = {
        {"nothing published", {}, false, false},
        {"reduced-motion 1",
         {{{kAppearance, "reduced-motion"}, QVariant::fromValue(1u)}},
         false,
         true},
        {"animations off", {{{kGnome, "enable-animations"}, false}}, false, true},
        {"both say animate",
         {{{kAppearance, "reduced-motion"}, QVariant::fromValue(0u)},
          {{kGnome, "enable-animations"}, true}},
         false,
         false},
        {"a first-version portal",
         {{{kAppearance, "reduced-motion"}, QVariant::fromValue(1u)}},
         true,
         true},
    };
    PortalSettings settings;
    publish(settings);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        settings.values = c.values;
        settings.firstVersion = c.firstVersion;
        auto motion = read();
        if (c.reduced)
            EXPECT_TRUE(test::waitUntil([&] { return motion->reduced(); }));
        else
            test::spinFor(300ms);
        EXPECT_EQ(motion->reduced(), c.reduced);
        motion.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("app"));
    }
}

TEST_F(DesktopMotionTest, FollowsTheDesktopAsItChanges) {
    PortalSettings settings;
    settings.values[{kGnome, "enable-animations"}] = true;
    publish(settings);
    auto motion = read();
    QSignalSpy changed(motion.get(), &DesktopMotion::reducedChanged);
    test::spinFor(300ms);
    EXPECT_FALSE(motion->reduced());
    settings.change(kGnome, QStringLiteral("enable-animations"), false);
    ASSERT_TRUE(test::waitUntil([&] { return motion->reduced(); }));
    settings.change(kAppearance, QStringLiteral("reduced-motion"), QVariant::fromValue(0u));
    test::spinFor(200ms);
    EXPECT_TRUE(motion->reduced()); // GNOME's key still asks for less motion
    settings.change(kGnome, QStringLiteral("enable-animations"), true);
    ASSERT_TRUE(test::waitUntil([&] { return !motion->reduced(); }));
    ASSERT_EQ(changed.count(), 2);
    EXPECT_TRUE(changed[0][0].toBool());
    EXPECT_FALSE(changed[1][0].toBool());
}

} // namespace

#include "desktop_motion_test.moc"
