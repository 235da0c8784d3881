// "Show in folder" through a file manager on a private session bus, and the
// folder fallback when none answers.

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QProcess>
#include <QUrl>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tests/torrent/views_fixture.h"
#include "tevro/torrent/file_manager.h"

using namespace tevro;

namespace {

// Stands in for the desktop's file manager: records the items it is asked to show.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

} // namespace

TEST(FileManagerReveal, ShowsTheItemOverTheBusElseOpensTheFolder) {
    test::ensureWidgetApp();
    QStringList opened;
    FileManager::setOpenFolder([&](const QString& folder) { opened << folder; });
    test::TempDir dir;
    test::writeAll(dir / "movie.mkv", "x");

    // A private session bus for this test, with our stand-in file manager on it.
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
    if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(5000))
        GTEST_SKIP() << "no dbus-daemon";
    QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());

    // Nobody owns the file manager's name yet: the folder opens instead.
    FileManager::show(dir / "movie.mkv", true);
    ASSERT_EQ(opened, QStringList{QString::fromStdString(dir.path().string())});

    FakeFileManager manager;
    QDBusConnection bus = QDBusConnection::connectToBus(address, "fake-file-manager");
    ASSERT_TRUE(bus.isConnected());
    ASSERT_TRUE(bus.registerObject("/org/freedesktop/FileManager1", &manager,
                                   QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService("org.freedesktop.FileManager1"));
    // The reply comes from this thread's event loop: call from a helper thread.
    std::atomic<bool> ok{false};
    std::thread caller([&] { ok = FileManager::showItem(dir / "movie.mkv"); });
    ASSERT_TRUE(test::waitUntil([&] { return !manager.shown.isEmpty(); }));
    caller.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(
        manager.shown,
        QStringList{
            QUrl::fromLocalFile(QString::fromStdString((dir / "movie.mkv").string())).toString()});
    // A folder to open (the target is not there) never goes over the bus.
    FileManager::show(dir.path(), false);
    EXPECT_EQ(opened.size(), 2);
    QDBusConnection::disconnectFromBus("fake-file-manager");
    daemon.kill();
    daemon.waitForFinished();
}

#include "file_manager_test.moc"
