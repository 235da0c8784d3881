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
