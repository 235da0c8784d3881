#include <memory>

#include <gtest/gtest.h>

#include "quorvel-kit/updates/quorvel_updates.h"
#include "tests/kit_updates/scripted_backend.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

using namespace quorvel;

struct ModelFixture : ::testing::Test {
    TempDir dir;
    std::shared_ptr<ScriptedBackend> backend = std::make_shared<ScriptedBackend>();
    std::vector<UpdateRelease> announced;

    std::unique_ptr<QuorvelUpdates> model() {
        auto m = std::make_unique<QuorvelUpdates>(backend, UserDefaults("host", dir.path()));
        m->onUpdateAvailable = [this](const UpdateRelease& r) { announced.push_back(r); };
        return m;
    }
};

TEST_F(ModelFixture, AnnouncesEachReleaseOnceAcrossLaunches) {
    {
        auto m = model();
        EXPECT_EQ(m->notificationKey(),
                  "QuorvelUpdates.scripted.org.tevro.test.lastNotifiedRelease");
        m->start();
        backend->publish(availableSnapshot(release("42")));
        backend->publish(availableSnapshot(release("42")));
        EXPECT_EQ(announced.size(), 1u);
        EXPECT_EQ(UserDefaults("host", dir.path()).stringValue(m->notificationKey()), "direct:42");
    }
    auto relaunched = model();
    relaunched->start(); // takes the backend's snapshot: the same release
    EXPECT_EQ(announced.size(), 1u);
    backend->publish(availableSnapshot(release("42", UpdateSource::appStore)));
    EXPECT_EQ(announced.size(), 2u);
    backend->publish(availableSnapshot(release("42")));
    EXPECT_EQ(announced.size(), 3u); // only the last announced release is remembered
}

TEST_F(ModelFixture, ReleaseSeenWithoutListenerIsAnnouncedLater) {
    auto m = std::make_unique<QuorvelUpdates>(backend, UserDefaults("host", dir.path()));
    backend->publish(availableSnapshot(release("7")));
    EXPECT_EQ(m->snapshot(), availableSnapshot(release("7")));
    EXPECT_FALSE(UserDefaults("host", dir.path()).contains(m->notificationKey()));
    m->onUpdateAvailable = [this](const UpdateRelease& r) { announced.push_back(r); };
    backend->publish(availableSnapshot(release("7")));
    EXPECT_EQ(announced.size(), 1u);
}

TEST_F(ModelFixture, FailedStartShowsConfigurationAndRetries) {
    backend->failStart = true;
    auto m = model();
    m->start();
    EXPECT_EQ(m->snapshot(),
              (UpdateSnapshot{UpdatePhase::failed(UpdateFailure::configuration), {}}));
    EXPECT_FALSE(m->started());
    for (UpdateAction action : {UpdateAction::check, UpdateAction::acknowledge})
        m->perform(action);
    EXPECT_TRUE(backend->performed.empty());
    backend->failStart = false;
    m->start();
    EXPECT_TRUE(m->started());
    EXPECT_EQ(m->snapshot(), backend->current);
    m->start();
    EXPECT_EQ(backend->starts, 2);
}

TEST_F(ModelFixture, PerformsOnlyPublishedActionsOnceStarted) {
    auto m = model();
    backend->publish(availableSnapshot(release("1")));
    m->perform(UpdateAction::download); // not started yet
    m->start();
    m->perform(UpdateAction::installAndRelaunch); // not offered
    m->perform(UpdateAction::download);
    EXPECT_EQ(backend->performed, std::vector<UpdateAction>{UpdateAction::download});
}

TEST_F(ModelFixture, SwitchShowsTheBackendsOwnValue) {
    auto m = model();
    std::vector<bool> published;
    QObject::connect(m.get(), &QuorvelUpdates::automaticChecksChanged,
                     [&](bool on) { published.push_back(on); });
    m->setAutomaticChecks(true);
    EXPECT_TRUE(m->automaticallyChecksForUpdates());
    backend->keepsOwnSwitch = true;
    m->setAutomaticChecks(false);
    EXPECT_TRUE(m->automaticallyChecksForUpdates());
    EXPECT_EQ(published, std::vector<bool>{true});
}

TEST_F(ModelFixture, GoneModelIgnoresLateSnapshots) {
    auto m = model();
    m.reset();
    backend->publish(availableSnapshot(release("3")));
    EXPECT_TRUE(announced.empty());
}

} // namespace
} // namespace tevro::test
