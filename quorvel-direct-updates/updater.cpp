#include "quorvel-direct-updates/updater.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include "quorvel-direct-updates/app_folder.h"
#include "quorvel-direct-updates/ed25519.h"
#include "quorvel-direct-updates/secure_url.h"
#include "quorvel-direct-updates/tar_extractor.h"

namespace quorvel {

namespace {

constexpr const char* kAutomaticKey = "SUEnableAutomaticChecks";
constexpr const char* kLastCheckKey = "SULastCheckTime";
constexpr const char* kSkippedKey = "SUSkippedVersion";
constexpr const char* kIntervalKey = "SUScheduledCheckInterval";
constexpr std::int64_t kDefaultInterval = 86400;
constexpr std::int64_t kShortestInterval = 3600;

UpdaterError transferError(int code, const HttpsTransfer::Result& result) {
    using Outcome = HttpsTransfer::Outcome;
    if (result.outcome == Outcome::connection || result.outcome == Outcome::status ||
        result.outcome == Outcome::redirectRefused)
        return UpdaterError::make(UpdaterError::Domain::updater, code, "transfer failed",
                                  UpdaterError::make(UpdaterError::Domain::network,
                                                     static_cast<int>(result.outcome),
                                                     result.message.toStdString()));
    return UpdaterError::make(UpdaterError::Domain::updater, code,
                              result.outcome == Outcome::tooLarge ? "too large" : "not stored");
}

// The executable to start in the new folder, relative to it: the one its
// information names, else the one running now at the same place.
std::optional<std::filesystem::path> executableIn(const AppBundle& fresh,
                                                  const std::filesystem::path& host) {
    std::filesystem::path relative;
    if (auto name = fresh.stringValue("CFBundleExecutable")) {
        relative = *name;
    } else {
        std::error_code ec;
        const auto running = std::filesystem::read_symlink("/proc/self/exe", ec);
        relative = running.lexically_relative(std::filesystem::weakly_canonical(host, ec));
    }
    if (relative.empty() || relative.is_absolute())
        return std::nullopt;
    for (const auto& part : relative) {
        if (part == "..")
            return std::nullopt;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fresh.path() / relative, ec))
        return std::nullopt;
    return relative;
}

} // namespace

UpdaterError UpdaterError::make(Domain domain, int code, std::string message,
                                std::optional<UpdaterError> cause) {
    UpdaterError error;
    error.domain = domain;
    error.code = code;
    error.message = std::move(message);
    if (cause)
        error.underlying = std::make_shared<const UpdaterError>(std::move(*cause));
    return error;
}

Updater::Updater(AppBundle host, UpdaterUserDriver& driver, Delegate delegate, QObject* parent)
    : QObject(parent), m_host(std::move(host)), m_driver(driver), m_delegate(std::move(delegate)),
      m_defaults(m_host.identifier().value_or("default")) {
    m_schedule.setSingleShot(true);
    connect(&m_schedule, &QTimer::timeout, this, [this] {
        if (m_session != 0)
            return; // the session's end schedules the next check
        if (automaticallyChecksForUpdates() && m_canCheck)
            beginCheck(false);
        else
            schedule();
    });
}

Updater::~Updater() {
    stopUnpacking();
    if (m_transfer)
        m_transfer->cancel();
    if (m_session != 0 && m_stage >= Stage::downloading)
        removeStaging();
}

void Updater::stopUnpacking() {
    if (m_unpacker.joinable()) {
        m_unpacker.request_stop();
        m_unpacker.join();
    }
}

std::optional<std::string> Updater::installRefusal() const {
    const auto identifier = m_host.identifier();
    if (!identifier)
        return "no identifier";
    if (auto why = AppFolder::refusal(m_host.path(), *identifier))
        return why;
    // The swap renames the folder inside its parent.
    if (::access(m_host.path().c_str(), W_OK) != 0 ||
        ::access(m_host.path().parent_path().c_str(), W_OK) != 0)
        return "the folder cannot be replaced";
    return std::nullopt;
}

std::filesystem::path Updater::previousFolder(const std::filesystem::path& install) {
    return install.parent_path() / ("." + install.filename().string() + ".previous");
}

std::filesystem::path Updater::stagingFolder(const std::filesystem::path& install) {
    return install.parent_path() / ("." + install.filename().string() + ".update");
}

std::expected<void, UpdaterError> Updater::start() {
    if (m_started)
        return {};
    const auto feed = m_delegate.feedURLString ? m_delegate.feedURLString() : std::nullopt;
    if (!feed || !isSecureUrl(QUrl(QString::fromStdString(*feed))))
        return std::unexpected(
            UpdaterError::make(UpdaterError::Domain::updater, UpdaterError::kAppcast, "no feed"));
    if (publicKey().size() != 32)
        return std::unexpected(UpdaterError::make(UpdaterError::Domain::updater,
                                                  UpdaterError::kSignature, "no public key"));
    if (auto why = installRefusal())
        return std::unexpected(
            UpdaterError::make(UpdaterError::Domain::updater, UpdaterError::kInstallation, *why));
    // This build runs: the copy it replaced and any unfinished download can go.
    std::error_code ec;
    std::filesystem::remove_all(previousFolder(m_host.path()), ec);
    removeStaging();
    m_started = true;
    setCanCheck(true);
    schedule();
    return {};
}

void Updater::checkForUpdates() {
    if (m_started && m_canCheck)
        beginCheck(true);
}

bool Updater::automaticallyChecksForUpdates() const {
    if (auto stored = m_defaults.boolValue(kAutomaticKey))
        return *stored;
    auto it = m_host.info().find(kAutomaticKey);
    return it != m_host.info().end() && it->is_boolean() && it->get<bool>();
}

void Updater::setAutomaticallyChecksForUpdates(bool on) {
    m_defaults.setBool(kAutomaticKey, on);
    if (m_started)
        schedule();
}

void Updater::schedule() {
    m_schedule.stop();
    // While a session runs (an offer waiting, say), its end schedules again.
    if (!m_started || m_session != 0 || !automaticallyChecksForUpdates())
        return;
    std::int64_t interval = kDefaultInterval;
    auto it = m_host.info().find(kIntervalKey);
    if (it != m_host.info().end() && it->is_number_integer())
        interval = std::max(kShortestInterval, it->get<std::int64_t>());
    const auto now = std::chrono::system_clock::now();
    const auto last = m_defaults.dateValue(kLastCheckKey);
    std::chrono::milliseconds wait{0};
    if (last && *last <= now) {
        const auto due = *last + std::chrono::seconds(interval);
        if (due > now)
            wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - now);
    }
    m_schedule.start(std::min(wait, std::chrono::milliseconds(INT32_MAX)));
}

std::string Updater::installedBuild() const {
    if (auto build = m_host.stringValue("CFBundleVersion"))
        return *build;
    return m_host.stringValue("CFBundleShortVersionString").value_or("0");
}

QByteArray Updater::publicKey() const {
    const auto text = m_host.stringValue("SUPublicEDKey").value_or("");
    return decodeStrictBase64(QByteArray::fromStdString(text)).value_or(QByteArray());
}

void Updater::setCanCheck(bool canCheck) {
    if (canCheck == m_canCheck)
        return;
    m_canCheck = canCheck;
    emit canCheckForUpdatesChanged(canCheck);
}

void Updater::beginCheck(bool userInitiated) {
    m_session = ++m_generation;
    const std::uint64_t session = m_session;
    m_userSession = userInitiated;
    m_stage = Stage::checking;
    m_item.reset();
    m_schedule.stop();
    setCanCheck(false);
    m_defaults.setDate(kLastCheckKey, std::chrono::system_clock::now());
    QPointer<Updater> self(this);
    if (userInitiated)
        m_driver.showUserInitiatedUpdateCheck([self, session] {
            if (self)
                self->cancelSession(session);
        });
    if (m_session != session)
        return;
    const QUrl feed(QString::fromStdString(m_delegate.feedURLString().value_or("")));
    auto* transfer = new HttpsTransfer(this);
    m_transfer = transfer;
    HttpsTransfer::Options options;
    options.maxBytes = kMaxFeedBytes;
    options.allowRedirect = isSecureUrl;
    transfer->start(feed, options, [self, session, transfer](HttpsTransfer::Result result) {
        transfer->deleteLater();
        if (self)
            self->onFeed(session, std::move(result));
    });
}

void Updater::onFeed(std::uint64_t session, HttpsTransfer::Result result) {
    if (session != m_session)
        return;
    if (result.outcome != HttpsTransfer::Outcome::ok)
        return fail(session, transferError(UpdaterError::kAppcast, result));
    const auto signedFeed = Appcast::split(result.body);
    const auto signature =
        signedFeed ? decodeStrictBase64(signedFeed->signature) : std::optional<QByteArray>();
    if (!signedFeed || !signature ||
        !verifyEd25519(publicKey(), *signature, signedFeed->body.constData(),
                       static_cast<std::size_t>(signedFeed->body.size())))
        return fail(session, UpdaterError::make(UpdaterError::Domain::updater,
                                                UpdaterError::kSignature, "feed signature"));
    const auto items = Appcast::parse(signedFeed->body);
    if (!items)
        return fail(session, UpdaterError::make(UpdaterError::Domain::updater,
                                                UpdaterError::kAppcast, items.error()));
    const AppcastItem* best = nullptr;
    for (const AppcastItem& item : *items) {
        if (item.versionString.empty())
            continue;
        if (!best || compareBuildVersions(item.versionString, best->versionString) > 0)
            best = &item;
    }
    if (!best)
        return notFound(session, UpdaterError::kOnLatestVersion);
    const int order = compareBuildVersions(best->versionString, installedBuild());
    if (order < 0)
        return notFound(session, UpdaterError::kOnNewerThanLatestVersion);
    if (order == 0)
        return notFound(session, UpdaterError::kOnLatestVersion);
    if (!m_userSession && m_defaults.stringValue(kSkippedKey) == best->versionString)
        return endSession();
    offer(session, *best);
}

void Updater::offer(std::uint64_t session, const AppcastItem& item) {
    m_item = item;
    m_stage = Stage::offered;
    QPointer<Updater> self(this);
    m_driver.showUpdateFound(item, UpdateStage::notDownloaded, [self, session](UpdateChoice c) {
        if (self)
            self->onChoice(session, c);
    });
}

void Updater::onChoice(std::uint64_t session, UpdateChoice choice) {
    if (session != m_session || m_stage != Stage::offered)
        return;
    if (choice == UpdateChoice::install)
        return download(session);
    if (choice == UpdateChoice::skip && m_item)
        m_defaults.setString(kSkippedKey, m_item->versionString);
    endSession();
}

void Updater::download(std::uint64_t session) {
    if (!m_item || !m_item->fileURL || !isSecureUrl(*m_item->fileURL))
        return fail(session, UpdaterError::make(UpdaterError::Domain::updater,
                                                UpdaterError::kDownload, "insecure address"));
    m_stage = Stage::downloading;
    m_userSession = true; // the user chose it: from here on every outcome is shown
    stopUnpacking();
    removeStaging();
    const auto staging = stagingFolder(m_host.path());
    std::error_code ec;
    std::filesystem::create_directories(staging, ec);
    std::filesystem::permissions(staging, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, ec);
    if (ec)
        return fail(session, UpdaterError::make(UpdaterError::Domain::updater,
                                                UpdaterError::kDownload, "no staging folder"));
    QPointer<Updater> self(this);
    m_driver.showDownloadInitiated([self, session] {
        if (self)
            self->cancelSession(session);
    });
    if (m_session != session)
        return;
    auto* transfer = new HttpsTransfer(this);
    m_transfer = transfer;
    HttpsTransfer::Options options;
    options.maxBytes = kMaxArchiveBytes;
    options.allowRedirect = isSecureUrl;
    options.transferTimeout = std::chrono::seconds(60);
    options.wholeTimeout = std::chrono::hours(6);
    options.file = QString::fromStdString((staging / "archive.tar").string());
    options.onExpectedLength = [this](std::optional<std::uint64_t> length) {
        m_driver.showDownloadDidReceiveExpectedContentLength(length.value_or(0));
    };
    options.onData = [this](std::uint64_t length) { m_driver.showDownloadDidReceiveData(length); };
    transfer->start(*m_item->fileURL, options,
                    [self, session, transfer](HttpsTransfer::Result result) {
                        transfer->deleteLater();
                        if (self)
                            self->onDownloaded(session, std::move(result));
                    });
}

void Updater::onDownloaded(std::uint64_t session, HttpsTransfer::Result result) {
    if (session != m_session)
        return;
    if (result.outcome != HttpsTransfer::Outcome::ok)
        return fail(session, transferError(UpdaterError::kDownload, result));
    m_stage = Stage::extracting;
    m_driver.showDownloadDidStartExtractingUpdate();
    if (m_session != session)
        return;
    // Verifying and unpacking read the whole archive: off the main thread.
    const auto staging = stagingFolder(m_host.path());
    const QByteArray key = publicKey();
    const QByteArray signatureText = m_item->edSignature;
    QPointer<Updater> self(this);
    auto post = [self, session](std::function<void(Updater&)> step) {
        QMetaObject::invokeMethod(
            qApp,
            [self, session, step = std::move(step)] {
                if (self && self->m_session == session)
                    step(*self);
            },
            Qt::QueuedConnection);
    };
    stopUnpacking();
    m_unpacker = std::jthread([staging, key, signatureText, post](std::stop_token stop) {
        const auto archive = staging / "archive.tar";
        std::optional<UpdaterError> error;
        QFile file(QString::fromStdString(archive.string()));
        const auto signature = decodeStrictBase64(signatureText);
        bool verified = false;
        if (signature && file.open(QIODevice::ReadOnly)) {
            if (file.size() == 0) {
                verified = verifyEd25519(key, *signature, "", 0);
            } else if (uchar* data = file.map(0, file.size())) {
                verified = verifyEd25519(key, *signature, reinterpret_cast<const char*>(data),
                                         static_cast<std::size_t>(file.size()));
                file.unmap(data);
            }
        }
        file.close();
        if (!verified) {
            error = UpdaterError::make(UpdaterError::Domain::updater, UpdaterError::kSignature,
                                       "archive signature");
        } else {
            int lastShown = -1;
            auto extracted = TarExtractor::extract(
                archive, staging / "new",
                [&](double progress) {
                    const int percent = static_cast<int>(progress * 100);
                    if (percent == lastShown)
                        return;
                    lastShown = percent;
                    post([progress](Updater& u) {
                        u.m_driver.showExtractionReceivedProgress(progress);
                    });
                },
                stop);
            if (!extracted && extracted.error() == TarExtractor::Error::cancelled)
                return;
            if (!extracted)
                error = UpdaterError::make(UpdaterError::Domain::updater,
                                           extracted.error() == TarExtractor::Error::unsafe
                                               ? UpdaterError::kValidation
                                               : UpdaterError::kUnarchiving,
                                           "archive");
        }
        post([error](Updater& u) { u.onExtracted(u.m_session, error); });
    });
}

void Updater::onExtracted(std::uint64_t session, std::optional<UpdaterError> error) {
    if (error)
        return fail(session, *error);
    // The new copy must be this application at the offered build.
    const AppBundle fresh(stagingFolder(m_host.path()) / "new");
    if (fresh.identifier() != m_host.identifier() ||
        AppFolder::refusal(fresh.path(), m_host.identifier().value_or("")) ||
        fresh.stringValue("CFBundleVersion") != m_item->versionString ||
        !executableIn(fresh, m_host.path()))
        return fail(session, UpdaterError::make(UpdaterError::Domain::updater,
                                                UpdaterError::kValidation, "not this application"));
    m_stage = Stage::ready;
    QPointer<Updater> self(this);
    m_driver.showReadyToInstallAndRelaunch([self, session](UpdateChoice choice) {
        if (self)
            self->onReadyChoice(session, choice);
    });
}

void Updater::onReadyChoice(std::uint64_t session, UpdateChoice choice) {
    if (session != m_session || m_stage != Stage::ready)
        return;
    if (choice == UpdateChoice::install)
        return install(session);
    if (choice == UpdateChoice::skip && m_item)
        m_defaults.setString(kSkippedKey, m_item->versionString);
    removeStaging();
    endSession();
}

void Updater::install(std::uint64_t session) {
    m_stage = Stage::installing;
    m_driver.showInstallingUpdate(true, {});
    if (m_session != session)
        return;
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path install = fs::weakly_canonical(m_host.path(), ec);
    const fs::path previous = previousFolder(install);
    const fs::path fresh = stagingFolder(install) / "new";
    const auto executable = executableIn(AppBundle(fresh), install);
    auto failInstall = [&](const char* why) {
        fail(session,
             UpdaterError::make(UpdaterError::Domain::updater, UpdaterError::kInstallation, why));
    };
    if (!executable)
        return failInstall("no executable");
    // The folder may have taken in something else since the start: then it is not ours to move.
    if (installRefusal() || AppFolder::refusal(fresh, m_host.identifier().value_or("")))
        return failInstall("the install folder is not the application's alone");
    fs::remove_all(previous, ec);
    fs::rename(install, previous, ec);
    if (ec)
        return failInstall("cannot move the installed copy");
    fs::rename(fresh, install, ec);
    if (ec) {
        fs::rename(previous, install, ec);
        return failInstall("cannot move the new copy");
    }
    QProcess relaunch;
    relaunch.setProgram(QString::fromStdString((install / *executable).string()));
    relaunch.setWorkingDirectory(QString::fromStdString(install.string()));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kRelaunchVariable),
                       QString::number(QCoreApplication::applicationPid()));
    relaunch.setProcessEnvironment(environment);
    if (!relaunch.startDetached()) {
        // Put the running build back where it was.
        fs::rename(install, fresh, ec);
        fs::rename(previous, install, ec);
        return failInstall("the new build did not start");
    }
    removeStaging();
    QPointer<Updater> self(this);
    m_driver.showUpdateInstalledAndRelaunched(true, [self] {
        if (self && self->m_delegate.terminate)
            QTimer::singleShot(0, self, [self] { self->m_delegate.terminate(); });
    });
    endSession();
}

void Updater::notFound(std::uint64_t session, int reason) {
    if (!m_userSession)
        return endSession();
    UpdaterError error =
        UpdaterError::make(UpdaterError::Domain::updater, UpdaterError::kNoUpdate, "no update");
    error.noUpdateReason = reason;
    m_driver.showUpdateNotFound(error, [] {});
    if (session == m_session)
        endSession();
}

void Updater::fail(std::uint64_t session, const UpdaterError& error) {
    if (m_stage >= Stage::downloading)
        removeStaging();
    if (m_userSession)
        m_driver.showUpdaterError(error, [] {});
    if (session == m_session)
        endSession();
}

void Updater::cancelSession(std::uint64_t session) {
    if (session != m_session)
        return;
    if (m_transfer)
        m_transfer->cancel();
    stopUnpacking();
    if (m_stage >= Stage::downloading)
        removeStaging();
    endSession();
}

void Updater::endSession() {
    const bool wasRunning = m_session != 0;
    m_session = 0;
    m_stage = Stage::none;
    m_item.reset();
    if (m_transfer) {
        m_transfer->cancel();
        m_transfer->deleteLater();
    }
    if (wasRunning)
        m_driver.dismissUpdateInstallation();
    setCanCheck(true);
    schedule();
}

void Updater::removeStaging() {
    std::error_code ec;
    std::filesystem::remove_all(stagingFolder(m_host.path()), ec);
}

} // namespace quorvel
