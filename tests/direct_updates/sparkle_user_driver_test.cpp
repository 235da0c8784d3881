#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "quorvel-direct-updates/sparkle_user_driver.h"

namespace tevro::test {
namespace {

using quorvel::AppcastItem;
using quorvel::SparkleUserDriver;
using quorvel::UpdateAction;
using quorvel::UpdateActions;
using quorvel::UpdateChoice;
using quorvel::UpdateFailure;
using quorvel::UpdatePhase;
using quorvel::UpdaterError;
using quorvel::UpdateStage;

AppcastItem appcastItem(const char* url = "https://example.org/b.tar") {
    AppcastItem item;
    item.versionString = "42";
    item.displayVersionString = "4.2";
    item.fileURL = QUrl(url);
    item.itemDescription = "Notes";
    item.itemDescriptionFormat = "plain-text";
    return item;
}

TEST(SparkleUserDriver, CheckActionFollowsCanCheckOnlyInRestingPhases) {
    SparkleUserDriver driver([] { return true; });
    driver.showUpdateNotFound(UpdaterError{.noUpdateReason = 1}, {});
    EXPECT_EQ(driver.snapshot().phase, UpdatePhase::upToDate());
    EXPECT_TRUE(driver.snapshot().actions.empty());
    driver.canCheck = true;
    driver.republish();
    EXPECT_EQ(driver.snapshot().actions, UpdateActions{UpdateAction::check});
    driver.showUserInitiatedUpdateCheck({});
    EXPECT_EQ(driver.snapshot().actions, UpdateActions{UpdateAction::cancel});
}

TEST(SparkleUserDriver, OffersSupportedReleasesAndDeclinesTheOthers) {
    SparkleUserDriver driver([] { return true; });
    std::vector<UpdateChoice> replies;
    auto reply = [&](UpdateChoice c) { replies.push_back(c); };

    driver.showUpdateFound(appcastItem(), UpdateStage::notDownloaded, reply);
    ASSERT_EQ(driver.snapshot().phase.kind(), UpdatePhase::Kind::available);
    EXPECT_EQ(*driver.snapshot().phase.release(),
              (quorvel::UpdateRelease{"42", "4.2", quorvel::UpdateSource::direct, "Notes"}));
    EXPECT_TRUE(replies.empty());

    AppcastItem html = appcastItem();
    html.itemDescriptionFormat = "html";
    driver.showUpdateFound(html, UpdateStage::installing, reply);
    EXPECT_EQ(driver.snapshot().phase.kind(), UpdatePhase::Kind::readyToInstall);
    EXPECT_EQ(driver.snapshot().phase.release()->releaseNotes, std::nullopt);
    EXPECT_EQ(driver.snapshot().actions, (UpdateActions{UpdateAction::installAndRelaunch,
                                                        UpdateAction::later, UpdateAction::skip}));

    AppcastItem informational = appcastItem();
    informational.informationOnly = true;
    AppcastItem package = appcastItem();
    package.installationType = "package";
    for (const AppcastItem& item :
         {appcastItem("http://example.org/b.tar"), informational, package}) {
        replies.clear();
        driver.showUpdateFound(item, UpdateStage::notDownloaded, reply);
        EXPECT_EQ(driver.snapshot().phase, UpdatePhase::failed(UpdateFailure::unsupportedUpdate));
        EXPECT_EQ(driver.snapshot().actions, UpdateActions{UpdateAction::acknowledge});
        EXPECT_EQ(replies, std::vector<UpdateChoice>{UpdateChoice::dismiss});
    }
}

TEST(SparkleUserDriver, DownloadProgressNeverWrapsAndDropsAWrongTotal) {
    SparkleUserDriver driver([] { return true; });
    driver.showDownloadInitiated({});
    driver.showDownloadDidReceiveExpectedContentLength(0);
    EXPECT_EQ(driver.snapshot().phase, UpdatePhase::downloading(0, std::nullopt));
    driver.showDownloadDidReceiveExpectedContentLength(100);
    driver.showDownloadDidReceiveData(60);
    EXPECT_EQ(driver.snapshot().phase, UpdatePhase::downloading(60, 100));
    driver.showDownloadDidReceiveData(60);
    EXPECT_EQ(driver.snapshot().phase, UpdatePhase::downloading(120, std::nullopt));
    driver.showDownloadDidReceiveData(std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(driver.snapshot().phase.received(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(driver.snapshot().actions, UpdateActions{UpdateAction::cancel});

    const std::pair<double, std::optional<double>> progress[] = {
        {1.7, 1.0},
        {-0.2, 0.0},
        {0.5, 0.5},
        {std::nan(""), std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt}};
    for (const auto& [given, shown] : progress) {
        driver.showExtractionReceivedProgress(given);
        EXPECT_EQ(driver.snapshot().phase, UpdatePhase::extracting(shown)) << given;
    }
}

TEST(SparkleUserDriver, ActionsAnswerThePendingReply) {
    bool mayRelaunch = false;
    SparkleUserDriver driver([&] { return mayRelaunch; });
    std::vector<UpdateChoice> replies;
    driver.showUpdateFound(appcastItem(), UpdateStage::notDownloaded,
                           [&](UpdateChoice c) { replies.push_back(c); });
    driver.showReadyToInstallAndRelaunch([&](UpdateChoice c) { replies.push_back(c); });
    const auto ready = driver.snapshot();
    driver.perform(UpdateAction::installAndRelaunch); // not allowed to relaunch now
    EXPECT_EQ(driver.snapshot(), ready);
    EXPECT_TRUE(replies.empty());
    mayRelaunch = true;
    driver.perform(UpdateAction::installAndRelaunch);
    EXPECT_EQ(replies, std::vector<UpdateChoice>{UpdateChoice::install});
    EXPECT_EQ(driver.snapshot().phase, UpdatePhase::idle());
    driver.perform(UpdateAction::installAndRelaunch); // answered once only
    EXPECT_EQ(replies.size(), 1u);

    // A ready call without an offered release cannot be installed.
    SparkleUserDriver fresh([] { return true; });
    std::vector<UpdateChoice> freshReplies;
    fresh.showReadyToInstallAndRelaunch([&](UpdateChoice c) { freshReplies.push_back(c); });
    EXPECT_EQ(fresh.snapshot().phase, UpdatePhase::failed(UpdateFailure::installation));
    EXPECT_EQ(freshReplies, std::vector<UpdateChoice>{UpdateChoice::skip});

    int retries = 0;
    fresh.showInstallingUpdate(false, [&] { ++retries; });
    EXPECT_EQ(fresh.snapshot().actions, UpdateActions{UpdateAction::retryTermination});
    fresh.perform(UpdateAction::retryTermination);
    fresh.perform(UpdateAction::retryTermination);
    EXPECT_EQ(retries, 2); // stays pending
}

TEST(SparkleUserDriver, DismissKeepsFinalMessages) {
    SparkleUserDriver driver([] { return true; });
    driver.showUpdateNotFound(UpdaterError{.noUpdateReason = 2}, {});
    driver.dismissUpdateInstallation();
    EXPECT_EQ(driver.snapshot().phase, UpdatePhase::upToDate());
    driver.showDownloadInitiated({});
    driver.dismissUpdateInstallation();
    EXPECT_EQ(driver.snapshot().phase, UpdatePhase::idle());

    const std::pair<std::optional<int>, UpdateFailure> reasons[] = {
        {3, UpdateFailure::requiresNewerOS},
        {7, UpdateFailure::unsupportedUpdate},
        {std::nullopt, UpdateFailure::unsupportedUpdate}};
    for (const auto& [reason, failure] : reasons) {
        driver.showUpdateNotFound(UpdaterError{.noUpdateReason = reason}, {});
        EXPECT_EQ(driver.snapshot().phase, UpdatePhase::failed(failure));
        EXPECT_EQ(driver.snapshot().actions, UpdateActions{UpdateAction::acknowledge});
    }
}

TEST(SparkleUserDriver, ErrorChainsMapToFailures) {
    using D = UpdaterError::Domain;
    auto chain = [](std::vector<std::pair<D, int>> links) {
        std::optional<UpdaterError> error;
        for (auto it = links.rbegin(); it != links.rend(); ++it)
            error = UpdaterError::make(it->first, it->second, "", error);
        return *error;
    };
    EXPECT_EQ(
        SparkleUserDriver::failure(chain({{D::network, 1}, {D::other, 5}, {D::updater, 3001}})),
        UpdateFailure::verification);
    EXPECT_EQ(SparkleUserDriver::failure(chain({{D::other, 5}, {D::network, 1}})),
              UpdateFailure::network);
    EXPECT_EQ(SparkleUserDriver::failure(chain({{D::updater, 2001}})), UpdateFailure::network);
    EXPECT_EQ(SparkleUserDriver::failure(chain({{D::updater, 1002}})), UpdateFailure::network);
    EXPECT_EQ(SparkleUserDriver::failure(chain({{D::updater, 3002}})), UpdateFailure::verification);
    EXPECT_EQ(SparkleUserDriver::failure(chain({{D::updater, 4005}, {D::other, 1}})),
              UpdateFailure::installation);
    // Only the first twelve entries count.
    std::vector<std::pair<D, int>> deep(12, {D::other, 1});
    deep.push_back({D::updater, 3001});
    EXPECT_EQ(SparkleUserDriver::failure(chain(deep)), UpdateFailure::installation);
}

} // namespace
} // namespace tevro::test
