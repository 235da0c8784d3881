#include "quorvel-direct-updates/sparkle_user_driver.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "quorvel-direct-updates/secure_url.h"

namespace quorvel {

namespace {

bool isResting(UpdatePhase::Kind kind) {
    return kind == UpdatePhase::Kind::idle || kind == UpdatePhase::Kind::upToDate ||
           kind == UpdatePhase::Kind::installed || kind == UpdatePhase::Kind::failed;
}

constexpr std::size_t kMaxErrorChain = 12;

} // namespace

SparkleUserDriver::SparkleUserDriver(std::function<bool()> canRelaunch)
    : m_canRelaunch(std::move(canRelaunch)) {}

void SparkleUserDriver::publish(UpdateSnapshot snapshot) {
    if (isResting(snapshot.phase.kind())) {
        if (canCheck)
            snapshot.actions.insert(UpdateAction::check);
        else
            snapshot.actions.erase(UpdateAction::check);
    }
    m_snapshot = std::move(snapshot);
    if (onChange)
        onChange(m_snapshot);
}

void SparkleUserDriver::dropPending() {
    m_choice = nullptr;
    m_cancellation = nullptr;
    m_retryTermination = nullptr;
}

void SparkleUserDriver::reply(UpdateChoice choice) {
    auto pending = std::move(m_choice);
    dropPending();
    publish({UpdatePhase::idle(), {}});
    if (pending)
        pending(choice);
}

void SparkleUserDriver::perform(UpdateAction action) {
    if (!m_snapshot.actions.contains(action))
        return;
    switch (action) {
    case UpdateAction::cancel: {
        auto cancellation = std::move(m_cancellation);
        dropPending();
        publish({UpdatePhase::idle(), {}});
        if (cancellation)
            cancellation();
        break;
    }
    case UpdateAction::download:
        reply(UpdateChoice::install);
        break;
    case UpdateAction::installAndRelaunch:
        if (m_canRelaunch())
            reply(UpdateChoice::install);
        break;
    case UpdateAction::later:
        reply(UpdateChoice::dismiss);
        break;
    case UpdateAction::skip:
        reply(UpdateChoice::skip);
        break;
    case UpdateAction::acknowledge:
        publish({UpdatePhase::idle(), {}});
        break;
    case UpdateAction::retryTermination:
        if (m_canRelaunch() && m_retryTermination) {
            auto retry = m_retryTermination; // stays pending
            retry();
        }
        break;
    case UpdateAction::check:
    case UpdateAction::openAppStore:
        break;
    }
}

UpdateFailure SparkleUserDriver::failure(const UpdaterError& error) {
    std::vector<const UpdaterError*> chain{&error};
    for (std::size_t i = 0; i < chain.size() && i < kMaxErrorChain; ++i) {
        const UpdaterError& entry = *chain[i];
        if (entry.domain == UpdaterError::Domain::updater &&
            (entry.code == UpdaterError::kSignature || entry.code == UpdaterError::kValidation))
            return UpdateFailure::verification;
        if (entry.underlying && chain.size() < kMaxErrorChain)
            chain.push_back(entry.underlying.get());
    }
    for (std::size_t i = 0; i < chain.size() && i < kMaxErrorChain; ++i) {
        const UpdaterError& entry = *chain[i];
        if (entry.domain == UpdaterError::Domain::network)
            return UpdateFailure::network;
        if (entry.domain == UpdaterError::Domain::updater &&
            (entry.code == UpdaterError::kDownload || entry.code == UpdaterError::kAppcast))
            return UpdateFailure::network;
    }
    return UpdateFailure::installation;
}

void SparkleUserDriver::showUserInitiatedUpdateCheck(std::function<void()> cancellation) {
    dropPending();
    m_cancellation = std::move(cancellation);
    publish({UpdatePhase::checking(), {UpdateAction::cancel}});
}

void SparkleUserDriver::showUpdateFound(const AppcastItem& item, UpdateStage stage,
                                        std::function<void(UpdateChoice)> reply) {
    dropPending();
    const bool unsupported = item.informationOnly || item.installationType != "application" ||
                             !item.fileURL || !isSecureUrl(*item.fileURL);
    if (unsupported) {
        publish(
            {UpdatePhase::failed(UpdateFailure::unsupportedUpdate), {UpdateAction::acknowledge}});
        if (reply)
            reply(UpdateChoice::dismiss);
        return;
    }
    UpdateRelease release{item.versionString, item.displayVersionString, UpdateSource::direct,
                          std::nullopt};
    if (item.itemDescriptionFormat == "plain-text")
        release.releaseNotes = item.itemDescription;
    m_release = release;
    m_choice = std::move(reply);
    if (stage == UpdateStage::installing)
        publish({UpdatePhase::readyToInstall(release),
                 {UpdateAction::installAndRelaunch, UpdateAction::later, UpdateAction::skip}});
    else
        publish({UpdatePhase::available(release),
                 {UpdateAction::download, UpdateAction::later, UpdateAction::skip}});
}

void SparkleUserDriver::showUpdateNotFound(const UpdaterError& error,
                                           std::function<void()> acknowledgement) {
    dropPending();
    const int reason = error.noUpdateReason.value_or(0);
    if (reason == UpdaterError::kOnLatestVersion ||
        reason == UpdaterError::kOnNewerThanLatestVersion)
        publish({UpdatePhase::upToDate(), {}});
    else if (reason == UpdaterError::kSystemIsTooOld)
        publish({UpdatePhase::failed(UpdateFailure::requiresNewerOS), {UpdateAction::acknowledge}});
    else
        publish(
            {UpdatePhase::failed(UpdateFailure::unsupportedUpdate), {UpdateAction::acknowledge}});
    if (acknowledgement)
        acknowledgement();
}

void SparkleUserDriver::showUpdaterError(const UpdaterError& error,
                                         std::function<void()> acknowledgement) {
    dropPending();
    publish({UpdatePhase::failed(failure(error)), {UpdateAction::acknowledge}});
    if (acknowledgement)
        acknowledgement();
}

void SparkleUserDriver::showDownloadInitiated(std::function<void()> cancellation) {
    dropPending();
    m_cancellation = std::move(cancellation);
    m_received = 0;
    m_expected.reset();
    publish({UpdatePhase::downloading(0, std::nullopt), {UpdateAction::cancel}});
}

void SparkleUserDriver::publishDownload() {
    std::optional<std::uint64_t> total;
    if (m_expected && *m_expected >= m_received)
        total = m_expected;
    publish({UpdatePhase::downloading(m_received, total), {UpdateAction::cancel}});
}

void SparkleUserDriver::showDownloadDidReceiveExpectedContentLength(std::uint64_t length) {
    m_expected = length == 0 ? std::nullopt : std::optional<std::uint64_t>(length);
    publishDownload();
}

void SparkleUserDriver::showDownloadDidReceiveData(std::uint64_t length) {
    const std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - m_received;
    m_received += std::min(length, room);
    publishDownload();
}

void SparkleUserDriver::showDownloadDidStartExtractingUpdate() {
    dropPending();
    publish({UpdatePhase::extracting(std::nullopt), {}});
}

void SparkleUserDriver::showExtractionReceivedProgress(double progress) {
    std::optional<double> shown;
    if (std::isfinite(progress))
        shown = std::clamp(progress, 0.0, 1.0);
    publish({UpdatePhase::extracting(shown), {}});
}

void SparkleUserDriver::showReadyToInstallAndRelaunch(std::function<void(UpdateChoice)> reply) {
    dropPending();
    if (!m_release) {
        publish({UpdatePhase::failed(UpdateFailure::installation), {UpdateAction::acknowledge}});
        if (reply)
            reply(UpdateChoice::skip);
        return;
    }
    m_choice = std::move(reply);
    publish({UpdatePhase::readyToInstall(*m_release),
             {UpdateAction::installAndRelaunch, UpdateAction::later, UpdateAction::skip}});
}

void SparkleUserDriver::showInstallingUpdate(bool applicationTerminated,
                                             std::function<void()> retryTerminatingApplication) {
    m_choice = nullptr;
    m_cancellation = nullptr;
    if (applicationTerminated) {
        m_retryTermination = nullptr;
        publish({UpdatePhase::installing(), {}});
    } else {
        m_retryTermination = std::move(retryTerminatingApplication);
        publish({UpdatePhase::installing(), {UpdateAction::retryTermination}});
    }
}

void SparkleUserDriver::showUpdateInstalledAndRelaunched(bool,
                                                         std::function<void()> acknowledgement) {
    dropPending();
    publish({UpdatePhase::installed(), {}});
    if (acknowledgement)
        acknowledgement();
}

void SparkleUserDriver::dismissUpdateInstallation() {
    dropPending();
    m_release.reset();
    const auto kind = m_snapshot.phase.kind();
    if (kind == UpdatePhase::Kind::failed || kind == UpdatePhase::Kind::upToDate ||
        kind == UpdatePhase::Kind::installed)
        return;
    publish({UpdatePhase::idle(), {}});
}

} // namespace quorvel
