#include <QCoreApplication>
#include <QEvent>

#include "tests/direct_updates/update_fixture.h"

namespace tevro::test {
namespace {

using quorvel::UpdateAction;
using quorvel::UpdateFailure;
using Kind = quorvel::UpdatePhase::Kind;

class DirectBackend : public UpdateFixture {
protected:
    // Starts the model over the install folder with its Info.json changed by `edit`.
    void startWith(const std::function<void(nlohmann::json&)>& edit) {
        nlohmann::json changed = info("100");
        edit(changed);
        writeAll(install / "Info.json", changed.dump());
        makeModel();
        model->start();
    }
};

TEST_F(DirectBackend, EachBrokenInformationRuleFailsTheStart) {
    using Edit = std::function<void(nlohmann::json&)>;
    const std::pair<const char*, Edit> cases[] = {
        {"store receipt",
         [&](nlohmann::json&) {
             fs::create_directories(install / "Contents/_MASReceipt");
             writeAll(install / "Contents/_MASReceipt/receipt", "r");
         }},
        {"channel other", [](nlohmann::json& i) { i["QuorvelDistributionChannel"] = "Direct"; }},
        {"channel missing", [](nlohmann::json& i) { i.erase("QuorvelDistributionChannel"); }},
        {"identifier empty", [](nlohmann::json& i) { i["CFBundleIdentifier"] = ""; }},
        {"feed http", [](nlohmann::json& i) { i["SUFeedURL"] = "http://127.0.0.1/appcast.xml"; }},
        {"feed user", [](nlohmann::json& i) { i["SUFeedURL"] = "https://u@127.0.0.1/a.xml"; }},
        {"feed password", [](nlohmann::json& i) { i["SUFeedURL"] = "https://:p@127.0.0.1/a.xml"; }},
        {"feed fragment", [](nlohmann::json& i) { i["SUFeedURL"] = "https://127.0.0.1/a.xml#x"; }},
        {"feed not text", [](nlohmann::json& i) { i["SUFeedURL"] = 1; }},
        {"key 31 bytes",
         [](nlohmann::json& i) {
             i["SUPublicEDKey"] = QByteArray(31, 'k').toBase64().toStdString();
         }},
        {"key 33 bytes",
         [](nlohmann::json& i) {
             i["SUPublicEDKey"] = QByteArray(33, 'k').toBase64().toStdString();
         }},
        {"key not base64", [](nlohmann::json& i) { i["SUPublicEDKey"] = "not a key!"; }},
        {"unsigned feed allowed", [](nlohmann::json& i) { i["SURequireSignedFeed"] = false; }},
        {"signed feed as text", [](nlohmann::json& i) { i["SURequireSignedFeed"] = "YES"; }},
        {"verify after extraction",
         [](nlohmann::json& i) { i["SUVerifyUpdateBeforeExtraction"] = false; }},
        {"expiration 1", [](nlohmann::json& i) { i["SUSignedFeedFailureExpirationInterval"] = 1; }},
        {"expiration not integer",
         [](nlohmann::json& i) { i["SUSignedFeedFailureExpirationInterval"] = 0.5; }},
        {"automatic missing", [](nlohmann::json& i) { i.erase("SUEnableAutomaticChecks"); }},
        {"automatic as number", [](nlohmann::json& i) { i["SUEnableAutomaticChecks"] = 1; }},
        {"automatic updates", [](nlohmann::json& i) { i["SUAllowsAutomaticUpdates"] = true; }},
        {"automatic updates missing",
         [](nlohmann::json& i) { i.erase("SUAllowsAutomaticUpdates"); }},
    };
    for (const auto& [name, edit] : cases) {
        SCOPED_TRACE(name);
        startWith(edit);
        EXPECT_EQ(model->snapshot(),
                  (quorvel::UpdateSnapshot{
                      quorvel::UpdatePhase::failed(UpdateFailure::configuration), {}}));
        EXPECT_FALSE(model->started());
        model->perform(UpdateAction::check);
        EXPECT_EQ(phase(), Kind::failed);
        fs::remove_all(install / "Contents");
    }
    EXPECT_EQ(server.requests("/appcast.xml"), 0);
}

// Only a folder the install made for the application alone may be swapped:
// anything else says updates are unavailable and is left where it is.
TEST_F(DirectBackend, OnlyAFolderOfTheApplicationsOwnStarts) {
    const std::pair<const char*, std::function<fs::path()>> cases[] = {
        {"no marker",
         [&] {
             fs::remove(install / quorvel::AppFolder::kMarker);
             return install;
         }},
        {"marker of another application",
         [&] {
             writeAll(install / quorvel::AppFolder::kMarker,
                      R"({"identifier":"org.example.other","entries":["app","Info.json"]})");
             return install;
         }},
        {"marker not JSON",
         [&] {
             writeAll(install / quorvel::AppFolder::kMarker, "org.tevro.test");
             return install;
         }},
        // A prefix such as ~/.local: the data folder and other programs live there too.
        {"something else in the folder",
         [&] {
             fs::create_directories(install / "share/Tevro");
             writeAll(install / "share/Tevro/settings.json", "{}");
             return install;
         }},
        {"a link to the folder",
         [&] {
             fs::create_directory_symlink(install, dir / "Link");
             return dir / "Link";
         }},
    };
    for (const auto& [name, prepare] : cases) {
        SCOPED_TRACE(name);
        const fs::path folder = prepare();
        backend = std::make_shared<quorvel::SparkleUpdateBackend>(quorvel::AppBundle(folder));
        model = std::make_unique<quorvel::QuorvelUpdates>(
            backend, quorvel::UserDefaults("host", dir / "data"));
        model->start();
        EXPECT_FALSE(model->started());
        EXPECT_EQ(model->snapshot().phase,
                  quorvel::UpdatePhase::failed(UpdateFailure::configuration));
        EXPECT_TRUE(fs::exists(install / "app"));
        if (fs::exists(install / "share")) {
            EXPECT_EQ(readAll(install / "share/Tevro/settings.json"), "{}");
        }
        fs::remove_all(install / "share");
        fs::remove(dir / "Link");
        writeAll(install / quorvel::AppFolder::kMarker, marker());
    }
    makeModel();
    model->start();
    EXPECT_TRUE(model->started());
}

// An offer waiting while automatic checks are switched on after the
// interval has passed: nothing is due until the offer is answered.
TEST_F(DirectBackend, AWaitingOfferKeepsTheScheduleQuiet) {
    offer("200", QByteArray::fromStdString(build("200").finish()));
    check();
    ASSERT_EQ(phase(), Kind::available);
    quorvel::UserDefaults("org.tevro.test", dir / "data")
        .setDate("SULastCheckTime", std::chrono::system_clock::now() - std::chrono::hours(48));
    struct TimerCount : QObject {
        int timers = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            timers += event->type() == QEvent::Timer;
            return false;
        }
    } count;
    QCoreApplication::instance()->installEventFilter(&count);
    model->setAutomaticChecks(true);
    spinFor(std::chrono::milliseconds(300));
    QCoreApplication::instance()->removeEventFilter(&count);
    EXPECT_LT(count.timers, 50);
    EXPECT_EQ(server.requests("/appcast.xml"), 1);
    // Answering the offer lets the schedule run again: the check is overdue.
    model->perform(UpdateAction::later);
    EXPECT_TRUE(waitUntil([&] { return server.requests("/appcast.xml") == 2; }));
}

TEST_F(DirectBackend, ValidInformationStartsAndAQueryIsAllowed) {
    startWith([&](nlohmann::json& i) { i["SUFeedURL"] = server.url("/appcast.xml?channel=1"); });
    EXPECT_TRUE(model->started());
    EXPECT_EQ(model->snapshot().phase.kind(), Kind::idle);
    EXPECT_EQ(model->snapshot().actions, quorvel::UpdateActions{UpdateAction::check});
    EXPECT_EQ(backend->identifier(), "direct.org.tevro.test");
}

TEST_F(DirectBackend, AutomaticChecksChosenBeforeStartReachTheUpdater) {
    makeModel();
    EXPECT_FALSE(backend->automaticallyChecksForUpdates()); // from Info.json
    model->setAutomaticChecks(true);
    EXPECT_TRUE(model->automaticallyChecksForUpdates());
    model->setAutomaticChecks(false);
    EXPECT_FALSE(backend->automaticallyChecksForUpdates());
    model->perform(UpdateAction::check); // not started: nothing happens
    backend->perform(UpdateAction::check);
    spinFor(std::chrono::milliseconds(50));
    EXPECT_EQ(server.log().size(), 0u);
    model->start();
    EXPECT_FALSE(backend->automaticallyChecksForUpdates());
    // The switch is kept in the bundle's own defaults domain.
    EXPECT_EQ(
        quorvel::UserDefaults("org.tevro.test", dir / "data").boolValue("SUEnableAutomaticChecks"),
        false);
}

TEST_F(DirectBackend, AutomaticCheckFindsAReleaseByItself) {
    offer("200", QByteArray::fromStdString(build("200").finish()));
    nlohmann::json automatic = info("100");
    automatic["SUEnableAutomaticChecks"] = true;
    writeAll(install / "Info.json", automatic.dump());
    makeModel();
    std::vector<quorvel::UpdateRelease> announced;
    model->onUpdateAvailable = [&](const quorvel::UpdateRelease& r) { announced.push_back(r); };
    model->start();
    ASSERT_TRUE(waitFor(Kind::available));
    ASSERT_EQ(announced.size(), 1u);
    EXPECT_EQ(announced[0].id, "200");
}

} // namespace
} // namespace tevro::test
