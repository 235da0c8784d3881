#include <memory>

#include <QTimer>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "quorvel-kit/updates/storefront_country.h"
#include "quorvel-kit/updates/storefront_update_backend.h"
#include "tests/support/loopback_https_server.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

using namespace quorvel;

TEST(StorefrontCountry, MapsThreeLetterCodes) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"USA", "US"},        {"usa", "US"},      {"GBR", "GB"},        {"QUU", "EU"},
        {"ZAR", "CD"},        {"FXX", "FR"},      {"RUS", "RU"},        {"AAA", "AA"},
        {"QMM", "QM"},        {"XZZ", "XZ"},      {"ZZZ", "ZZ"},        {"QOO", std::nullopt},
        {"US", std::nullopt}, {"", std::nullopt}, {"ABC", std::nullopt}};
    for (const auto& [code, expected] : cases)
        EXPECT_EQ(StorefrontCountry::alpha2(code), expected) << code;
    EXPECT_EQ(StorefrontCountry::aliases().size(), 300u);
    EXPECT_EQ(StorefrontCountry::regions().size(), 249u);
}

// A storefront whose country the test sets; each answer arrives after `delay`.
class TestStorefront : public StorefrontProvider {
public:
    void current(std::function<void(std::optional<std::string>)> done) override {
        const auto answer = country;
        QTimer::singleShot(delay, this, [done = std::move(done), answer] { done(answer); });
    }
    std::optional<std::string> country;
    std::chrono::milliseconds delay{0};
};

struct StorefrontFixture : ::testing::Test {
    struct QtFirst {
        QtFirst() { ensureQtApp(); }
    } qtFirst;
    TempDir dir;
    LoopbackHttpsServer server;
    std::shared_ptr<TestStorefront> storefront = std::make_shared<TestStorefront>();
    nlohmann::json info = {{"CFBundleIdentifier", "org.tevro.test"},
                           {"CFBundleShortVersionString", "1.5"}};

    void SetUp() override {
        AppStoreUpdateConfiguration::setHosts(
            {"127.0.0.1:" + std::to_string(server.port()), "apps.example"});
        UserDefaults("store", dir.path())
            .setBool("QuorvelUpdates.storefront.org.tevro.test.automatic", false);
    }
    void TearDown() override { AppStoreUpdateConfiguration::setHosts({}); }

    std::unique_ptr<StorefrontUpdateBackend> backend(std::shared_ptr<StorefrontProvider> provider) {
        writeAll(dir / "Info.json", info.dump());
        return std::make_unique<StorefrontUpdateBackend>(
            AppBundle(dir.path()), UserDefaults("store", dir.path()), provider);
    }

    static bool failedWith(const StorefrontUpdateBackend& b, UpdateFailure failure) {
        return b.snapshot() == UpdateSnapshot{UpdatePhase::failed(failure), {UpdateAction::check}};
    }
};

TEST_F(StorefrontFixture, WithoutAStorefrontUpdatesAreUnavailable) {
    auto b = backend(std::make_shared<StorefrontProvider>()); // this platform's own
    EXPECT_EQ(b->identifier(), "storefront.org.tevro.test");
    EXPECT_EQ(b->snapshot(), (UpdateSnapshot{UpdatePhase::idle(), {UpdateAction::check}}));
    b->start();
    ASSERT_TRUE(waitUntil([&] { return failedWith(*b, UpdateFailure::unavailableInStorefront); }));
    EXPECT_EQ(b->storeBackend(), nullptr);
    b->start(); // a second start changes nothing
    spinFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(failedWith(*b, UpdateFailure::unavailableInStorefront));
}

TEST_F(StorefrontFixture, InformationDecidesTheStoreBackend) {
    struct Case {
        const char* name;
        std::function<void(nlohmann::json&)> edit;
        std::string country;
        std::optional<UpdateFailure> failure;
        std::string identifier;
    };
    const Case cases[] = {
        {"unknown country", [](nlohmann::json&) {}, "ABC", UpdateFailure::unavailableInStorefront,
         ""},
        {"no version", [](nlohmann::json& i) { i.erase("CFBundleShortVersionString"); }, "DEU",
         UpdateFailure::unavailableInStorefront, ""},
        {"no identifier", [](nlohmann::json& i) { i.erase("CFBundleIdentifier"); }, "DEU",
         UpdateFailure::unavailableInStorefront, ""},
        {"id zero", [](nlohmann::json& i) { i["QuorvelAppStoreID"] = "0"; }, "DEU",
         UpdateFailure::configuration, ""},
        {"id text", [](nlohmann::json& i) { i["QuorvelAppStoreID"] = "id123"; }, "DEU",
         UpdateFailure::configuration, ""},
        {"bad version", [](nlohmann::json& i) { i["CFBundleShortVersionString"] = "1.5b"; }, "DEU",
         UpdateFailure::configuration, ""},
        {"id number", [](nlohmann::json& i) { i["QuorvelAppStoreID"] = 123; }, "DEU", std::nullopt,
         "store.org.tevro.test.bundle.DE"},
        {"id given", [](nlohmann::json& i) { i["QuorvelAppStoreID"] = "123"; }, "usa", std::nullopt,
         "store.org.tevro.test.123.US"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        info = {{"CFBundleIdentifier", "org.tevro.test"}, {"CFBundleShortVersionString", "1.5"}};
        c.edit(info);
        storefront->country = c.country;
        auto b = backend(storefront);
        b->start();
        if (c.failure) {
            ASSERT_TRUE(waitUntil([&] { return failedWith(*b, *c.failure); }));
            EXPECT_EQ(b->storeBackend(), nullptr);
        } else {
            ASSERT_TRUE(waitUntil([&] { return b->storeBackend() != nullptr; }));
            EXPECT_EQ(b->storeBackend()->identifier(), c.identifier);
        }
    }
}

TEST_F(StorefrontFixture, ManualCheckLooksUpTheStore) {
    storefront->country = "DEU";
    auto b = backend(storefront);
    const QUrl lookup =
        AppStoreUpdateConfiguration::make(std::nullopt, "org.tevro.test", "1.5",
                                          StorefrontUpdateBackend::systemVersion(), "DE",
                                          AppStoreUpdateConfiguration::Platform::macOS)
            ->lookupURL();
    server.route((lookup.path() + "?" + lookup.query(QUrl::FullyEncoded)).toStdString(),
                 {.body = R"({"resultCount":1,"results":[{"trackId":5,"bundleId":"org.tevro.test",
                     "version":"2.0","kind":"mac-software"}]})"});
    std::vector<UpdateSnapshot> seen;
    b->onChange = [&](const UpdateSnapshot& s) { seen.push_back(s); };
    b->perform(UpdateAction::check); // even before start, a check begins a look-up
    EXPECT_EQ(b->snapshot(), (UpdateSnapshot{UpdatePhase::checking(), {UpdateAction::cancel}}));
    ASSERT_TRUE(
        waitUntil([&] { return b->snapshot().phase.kind() == UpdatePhase::Kind::available; }));
    EXPECT_EQ(b->snapshot().phase.release()->source, UpdateSource::appStore);

    // Switching automatic checks off reaches the store backend's own switch too.
    b->setAutomaticallyChecksForUpdates(false);
    UserDefaults defaults("store", dir.path());
    EXPECT_EQ(defaults.boolValue("QuorvelUpdates.storefront.org.tevro.test.automatic"), false);
    EXPECT_EQ(defaults.boolValue(b->storeBackend()->key("automatic")), false);
}

TEST_F(StorefrontFixture, OnlyTheNewestLookupCountsAndCancelStopsIt) {
    storefront->country = "ABC";
    storefront->delay = std::chrono::milliseconds(100);
    auto b = backend(storefront);
    std::vector<UpdateSnapshot> seen;
    b->onChange = [&](const UpdateSnapshot& s) { seen.push_back(s); };
    b->start();
    storefront->country = "DEU";
    emit storefront->changed(); // overtakes the first look-up
    ASSERT_TRUE(waitUntil([&] { return b->storeBackend() != nullptr; }));
    spinFor(std::chrono::milliseconds(200));
    for (const auto& s : seen)
        EXPECT_NE(s.phase.kind(), UpdatePhase::Kind::failed);

    auto manual = backend(storefront);
    manual->perform(UpdateAction::check);
    manual->perform(UpdateAction::cancel);
    EXPECT_EQ(manual->snapshot(), (UpdateSnapshot{UpdatePhase::idle(), {UpdateAction::check}}));
    spinFor(std::chrono::milliseconds(250));
    EXPECT_EQ(manual->storeBackend(), nullptr);
    EXPECT_EQ(manual->snapshot().phase.kind(), UpdatePhase::Kind::idle);
}

} // namespace
} // namespace tevro::test
