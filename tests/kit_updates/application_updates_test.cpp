#include <memory>

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "quorvel-kit/updates/application_updates.h"
#include "tests/kit_updates/notification_server.h"
#include "tests/kit_updates/scripted_backend.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

using namespace quorvel;

struct FrontFixture : ::testing::Test {
    TempDir dir;
    std::shared_ptr<ScriptedBackend> backend = std::make_shared<ScriptedBackend>();

    void SetUp() override {
        UserDefaults::setStandardFolder(dir.path());
        UserDefaults::setStandardDomain("host");
    }

    // An installed copy: a folder with an information file.
    AppBundle installedHost() {
        writeAll(dir / "Info.json", R"({"CFBundleIdentifier":"org.tevro.test"})");
        return AppBundle(dir.path());
    }

    std::unique_ptr<ApplicationUpdates> front(AppBundle host = AppBundle()) {
        return std::make_unique<ApplicationUpdates>(
            backend, [] { return std::optional<std::string>("ru"); }, std::move(host));
    }
};

TEST_F(FrontFixture, MenuItemsFollowTheOffer) {
    auto f = front();
    QMenu menu;
    QAction* first = f->menuItem(&menu);
    QAction* second = f->menuItem(&menu);
    EXPECT_EQ(first->objectName(), "quorvel.updates");
    EXPECT_EQ(first->text(), "Проверить обновления…");
    EXPECT_TRUE(first->icon().isNull());
    backend->publish(availableSnapshot(release("2")));
    for (QAction* item : {first, second}) {
        EXPECT_EQ(item->text(), "Доступно обновление");
        EXPECT_FALSE(item->icon().isNull());
    }
    auto* freed = new QAction(&menu);
    delete freed;
    delete second; // freed by its menu
    backend->publish({UpdatePhase::idle(), {UpdateAction::check}});
    EXPECT_EQ(first->text(), "Проверить обновления…");
    EXPECT_TRUE(first->icon().isNull());
}

TEST_F(FrontFixture, ShowUpdatesMakesOneWindowAndChecksWhenAllowed) {
    auto f = front();
    QMenu menu;
    QAction* item = f->menuItem(&menu);
    item->trigger();
    ASSERT_NE(f->window(), nullptr);
    QWidget* window = f->window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Обновления");
    EXPECT_EQ(window->size(), QSize(440, 540));
    EXPECT_EQ(backend->performed, std::vector<UpdateAction>{UpdateAction::check});
    window->close();
    f->showUpdates();
    EXPECT_EQ(f->window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(backend->performed.size(), 2u);
    EXPECT_EQ(backend->starts, 1);
}

TEST_F(FrontFixture, FailedStartShowsUnavailableAndNeverChecks) {
    backend->failStart = true;
    auto f = front();
    f->showUpdates();
    f->showUpdates();
    EXPECT_EQ(backend->starts, 2); // retried each time
    EXPECT_TRUE(backend->performed.empty());
    EXPECT_EQ(f->window()->findChild<QLabel*>("updates.status")->text(), "Обновления недоступны.");
}

TEST_F(FrontFixture, NoticeOncePerReleaseOnTheDesktopBus) {
    NotificationServer server;
    ASSERT_TRUE(server.registered());
    auto f = front(installedHost());
    f->start();
    // Not asked for yet: the release is taken as announced, but nothing is posted.
    backend->publish(availableSnapshot(release("1")));
    spinFor(std::chrono::milliseconds(200));
    EXPECT_TRUE(server.notices.empty());
    f->showUpdates();
    QTest::mouseClick(f->window()->findChild<QPushButton*>("updates.notify"), Qt::LeftButton);
    backend->publish(availableSnapshot(release("2")));
    ASSERT_TRUE(waitUntil([&] { return server.notices.size() == 1; }));
    EXPECT_EQ(server.notices[0].summary, "Доступно обновление");
    EXPECT_EQ(server.notices[0].body, "1.2");
    EXPECT_EQ(server.notices[0].replaces, 0u);
    backend->publish({UpdatePhase::idle(), {UpdateAction::check}});
    backend->publish(availableSnapshot(release("2")));
    spinFor(std::chrono::milliseconds(200));
    EXPECT_EQ(server.notices.size(), 1u);
    // A newer release replaces the notice of the same source.
    backend->publish(availableSnapshot(release("3")));
    ASSERT_TRUE(waitUntil([&] { return server.notices.size() == 2; }));
    EXPECT_EQ(server.notices[1].replaces, server.notices[0].id);
}

TEST_F(FrontFixture, NoNoticeOutsideAnInstalledCopyOrWithoutAService) {
    {
        NotificationServer server;
        auto f = front(AppBundle(dir / "nowhere"));
        backend->publish(availableSnapshot(release("5")));
        spinFor(std::chrono::milliseconds(200));
        EXPECT_TRUE(server.notices.empty());
    }
    // No service on the bus: the release is still taken as announced, silently.
    auto f = front(installedHost());
    backend->publish(availableSnapshot(release("6")));
    spinFor(std::chrono::milliseconds(100));
    EXPECT_EQ(UserDefaults::standard().stringValue(f->model().notificationKey()), "direct:6");
}

} // namespace
} // namespace tevro::test
