#include "tevro/engine/torrent_engine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <set>
#include <string_view>
#include <unordered_set>

#include <QCoreApplication>
#include <QPointer>
#include <QString>

#include "tevro/bridge/bridge_string.h"
#include "tevro/bridge/torrent_bridge.h"
#include "tevro/core/key_value_text.h"
#include "tevro/core/storage.h"
#include "tevro/engine/tracker_list_fetcher.h"

namespace tevro {

namespace {

bool isActiveCheck(const TorrentStatus& t) {
    return t.state == "checking" && !t.paused && t.error.empty();
}

} // namespace

namespace {

TorrentEngine::Options& sharedOptions() {
    static TorrentEngine::Options options;
    return options;
}

} // namespace

void TorrentEngine::setSharedOptions(Options options) {
    sharedOptions() = std::move(options);
}

TorrentEngine& TorrentEngine::shared() {
    static TorrentEngine* engine = new TorrentEngine(sharedOptions());
    return *engine;
}

TorrentEngine::TorrentEngine(Options options, QObject* parent)
    : QObject(parent), m_options(std::move(options)) {
    // 1. Queue and start values.
    m_queue = std::make_unique<SerialQueue>("tevro.engine");
    m_streamQueue = std::make_unique<SerialQueue>("tevro.engine.stream");
    m_dataFolder = m_options.dataFolder.empty() ? Storage::home() : m_options.dataFolder;
    m_probe = m_options.probe ? m_options.probe : std::make_shared<LinuxSystemProbe>();
    m_lastStateSave = m_probe->now();
    m_fetcher = new TrackerListFetcher(this);

    // 2-4. Settings, with the download folder the environment names.
    AppSettings settings =
        Storage::loadSettings(m_dataFolder / Storage::kSettingsFile, &m_settingsCheck);
    if (const char* dir = std::getenv("TEVRO_DOWNLOAD_DIR"); dir && *dir && isSafeTextValue(dir))
        settings.downloadDirectory = dir;
    m_settings = settings;

    // 5-6. Metadata and the state folder.
    m_meta = Storage::loadMeta(m_dataFolder / Storage::kTorrentsFile, &m_metaCheck);
    for (const FileCheck* check : {&m_settingsCheck, &m_metaCheck})
        if (check->worthTelling())
            noteStartFinding(check->describe());
    std::error_code ec;
    const std::filesystem::path stateFolder = m_dataFolder / "state";
    std::filesystem::create_directories(stateFolder, ec);
    // Without it the session runs but saves nothing: say so rather than lose
    // every download at the next start.
    const bool stateFolderMissing = !std::filesystem::is_directory(stateFolder);
    if (stateFolderMissing)
        std::fprintf(stderr, "Tevro: the state folder %s cannot be created: %s\n",
                     stateFolder.c_str(), ec.message().c_str());

    // 7. Hash-check resources for an idle machine.
    m_checkingHardware = {m_probe->processors(), m_probe->memoryBytes()};
    CheckingResources::Conditions idle;
    idle.lowPower = m_probe->lowPower();
    idle.thermalState = m_probe->thermalState();
    m_checkingController.current = CheckingResources::target(m_checkingHardware, idle);

    // 8-9. The session.
    m_appliedSettings = engineSettingsText();
    m_session = tb_session_create((m_dataFolder / "state").c_str(), m_appliedSettings.c_str());
    if (!m_session) {
        std::fprintf(stderr, "Tevro: the torrent session could not be created in %s\n",
                     (m_dataFolder / "state").c_str());
        std::abort();
    }

    // 10-11.
    applyTrackers();
    applyBans();
    saveSettingsNow();
    // The entries that could be read of a damaged file are on disk again at once.
    if (m_metaCheck.result == FileCheck::Result::setAside)
        saveMetaNow();

    m_saveSettingsTimer.setSingleShot(true);
    m_saveSettingsTimer.setInterval(500);
    connect(&m_saveSettingsTimer, &QTimer::timeout, this, [this] { saveSettingsNow(); });
    m_saveMetaTimer.setSingleShot(true);
    m_saveMetaTimer.setInterval(1000);
    connect(&m_saveMetaTimer, &QTimer::timeout, this, [this] { saveMetaNow(); });
    connect(&m_timer, &QTimer::timeout, this, &TorrentEngine::onTimer);

    if (stateFolderMissing)
        show("Не удалось создать папку «" + stateFolder.string() +
             "»: загрузки не сохранятся после перезапуска");

    // 12-15.
    observeMemoryPressure();
    setPollInterval(1.0);
    poll();
    if (m_options.refreshTrackersAtStart)
        QMetaObject::invokeMethod(
            this, [this] { refreshTrackers(false); }, Qt::QueuedConnection);
}

TorrentEngine::~TorrentEngine() {
    shutdown();
    m_queue->stop();
    m_streamQueue->stop();
}

std::string TorrentEngine::engineSettingsText() const {
    return m_settings.libtorrentSettings() + "\n" + m_checkingController.current.settings();
}

void TorrentEngine::setPendingOpen(std::vector<std::string> urls) {
    if (urls == m_pendingOpen)
        return;
    m_pendingOpen = std::move(urls);
    emit pendingOpenChanged();
}

void TorrentEngine::appendPendingOpen(const std::string& url) {
    m_pendingOpen.push_back(url);
    emit pendingOpenChanged();
}

void TorrentEngine::setFocusRequest(std::optional<std::string> id) {
    if (id == m_focusRequest)
        return;
    m_focusRequest = std::move(id);
    emit focusRequestChanged();
}

void TorrentEngine::setPollInterval(double seconds) {
    if (seconds == m_pollInterval)
        return;
    m_pollInterval = seconds;
    m_lastTimerTick.reset();
    m_timer.stop();
    m_timer.setTimerType(Qt::CoarseTimer);
    m_timer.start(static_cast<int>(seconds * 1000));
}

void TorrentEngine::onTimer() {
    double now = m_probe->now();
    if (m_lastTimerTick && m_pollInterval > 0 && m_pollInterval < 1.0) {
        double lateness = now - *m_lastTimerTick - m_pollInterval;
        if (lateness > 0.1 * m_pollInterval + 0.1)
            m_lastInterfaceDelay = now;
    }
    m_lastTimerTick = now;
    poll();
}

void TorrentEngine::poll() {
    if (m_isShutDown)
        return;
    updateCheckingResources(false);
    retryUnsaved();
    // A poll still in flight absorbs this one; one more follows it, so a
    // slow machine cannot pile polls up behind each other.
    if (m_pollInFlight) {
        m_pollAgain = true;
        return;
    }
    m_pollInFlight = true;
    struct Result {
        std::optional<StatusDelta> delta;
        std::vector<TorrentEvent> events;
        PollTimings timings;
    };
    onQueue<Result>(
        [decoder = m_statusDecoder](tb_session* s) {
            using Clock = std::chrono::steady_clock;
            auto seconds = [](Clock::duration d) {
                return std::chrono::duration<double>(d).count();
            };
            Result r;
            auto t0 = Clock::now();
            r.delta = pollStatus(s, *decoder);
            auto eventsText = takeBridgeString(tb_poll_events(s));
            auto t1 = Clock::now();
            if (eventsText)
                if (auto events = json::decodeArray<TorrentEvent>(*eventsText))
                    r.events = std::move(*events);
            r.timings.bridge = seconds(t1 - t0);
            r.timings.decode = seconds(Clock::now() - t1);
            return r;
        },
        [this](Result r) {
            m_pollInFlight = false;
            auto start = std::chrono::steady_clock::now();
            bool applied = r.delta.has_value();
            apply(std::move(r.delta), std::move(r.events));
            if (applied) {
                r.timings.apply =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                m_lastPollTimings = r.timings;
            }
            if (m_pollAgain) {
                m_pollAgain = false;
                poll();
            }
        });

    // Once a minute on the monotonic clock, so a clock set back cannot stall it.
    double now = m_probe->now();
    if (now - m_lastStateSave > 60.0) {
        m_lastStateSave = now;
        tb_session* s = m_session;
        m_queue->post([s] { tb_save_state(s); });
    }
}

std::optional<StatusDelta> TorrentEngine::pollStatus(tb_session* s, StatusDecoder& decoder) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Read where the bridge wrote it: thousands of rows are megabytes.
        if (BridgeString text(tb_status_json_since(s, &decoder.revision())); text) {
            auto delta = decoder.decode(text.view());
            // Not decoded: the next poll takes the text again.
            if (!delta)
                decoder.revision() = 0;
            return delta;
        }
        if (auto same = decoder.same())
            return same;
        // Nothing decoded to compare with: ask for the text itself.
        decoder.revision() = 0;
    }
    return std::nullopt;
}

void TorrentEngine::apply(std::optional<StatusDelta> delta, std::vector<TorrentEvent> events) {
    if (!delta || m_isShutDown) {
        emit polled();
        return;
    }
    if (delta->session != m_sessionInfo) {
        m_sessionInfo = delta->session;
        emit sessionInfoChanged();
    }
    bool whole = applyRows(*delta, m_probe->now());
    if (!whole) {
        // Out of step with the decoder (never expected): the next poll gives
        // the whole list again.
        auto decoder = m_statusDecoder;
        m_queue->post([decoder] { decoder->reset(); });
        m_pollAgain = true;
    }
    setPollInterval(m_activeChecks.empty() ? 1.0 : 0.25);
    for (const auto& e : events)
        handle(e);
    // The session's restore is in the events and the list up to the first
    // poll that is no longer restoring.
    if (m_restoring && whole && !delta->session.restoring) {
        m_restoring = false;
        tellStartFindings();
#ifdef __GLIBC__
        // A large library's start peaks far above what it then keeps (decoded
        // reports, resume files read); what malloc holds free goes back.
        malloc_trim(0);
#endif
        emit restoringChanged();
    }
    enforceSeedLimits();
    emit polled();
}

bool TorrentEngine::applyRows(StatusDelta& delta, double now) {
    auto checking = [&](TorrentStatus& t) {
        bool active = isActiveCheck(t);
        if (active)
            m_activeChecks.insert(t.id);
        else
            m_activeChecks.erase(t.id);
        t.checkingRate = m_checkingProgress.update(t.id, t.progress, t.total, active, now);
    };
    if (delta.whole) {
        // The places first: a list out of step with the decoder's is asked
        // for again, all of it decoded.
        std::vector<char> used(m_torrents.size(), 0);
        for (const auto& e : delta.order) {
            if (e.fresh ? e.index >= delta.rows.size()
                        : delta.previousSize != m_torrents.size() || e.index >= m_torrents.size() ||
                              used[e.index])
                return false;
            if (!e.fresh)
                used[e.index] = 1;
        }
        m_activeChecks.clear();
        TorrentsChange change;
        std::size_t last = 0;
        bool first = true;
        auto follows = [&](std::size_t old) {
            if (!first && old < last)
                change.reordered = true;
            first = false;
            last = old;
        };
        std::vector<TorrentStatus> next;
        next.reserve(delta.order.size());
        // Each row's new place by its old one; rows new to the list.
        constexpr std::size_t kGone = static_cast<std::size_t>(-1);
        std::vector<std::size_t> moved(m_torrents.size(), kGone);
        std::vector<std::size_t> added;
        // The old places of the fresh rows, found before any row moves (a
        // key views its row's id).
        std::vector<std::size_t> wasAt(delta.order.size(), kGone);
        for (std::size_t k = 0; k < delta.order.size(); ++k) {
            const auto& e = delta.order[k];
            if (!e.fresh)
                continue;
            auto was = m_positions.find(delta.rows[e.index].id);
            if (was != m_positions.end() && was->second < m_torrents.size() && !used[was->second]) {
                used[was->second] = 1;
                wasAt[k] = was->second;
            }
        }
        for (std::size_t k = 0; k < delta.order.size(); ++k) {
            const auto& e = delta.order[k];
            if (!e.fresh) {
                // The same row as before; only a check's speed may move.
                TorrentStatus& t = m_torrents[e.index];
                follows(e.index);
                // A row not checking has no estimate to follow (its last
                // change ended it): thousands of them need no lookups.
                if (t.checkingRate || isActiveCheck(t)) {
                    auto rate = t.checkingRate;
                    checking(t);
                    if (t.checkingRate != rate)
                        change.changed.push_back(t.id);
                }
                moved[e.index] = next.size();
                next.push_back(std::move(t));
                continue;
            }
            TorrentStatus& t = delta.rows[e.index];
            checking(t);
            if (std::size_t was = wasAt[k]; was != kGone) {
                follows(was);
                moved[was] = next.size();
                if (t != m_torrents[was])
                    change.changed.push_back(t.id);
            } else {
                change.changed.push_back(t.id);
                added.push_back(next.size());
            }
            next.push_back(std::move(t));
        }
        for (std::size_t i = 0; i < m_torrents.size(); ++i)
            if (!used[i])
                change.removed.push_back(m_torrents[i].id);
        if (!m_checkingProgress.tracks.empty()) {
            std::set<std::string> ids;
            for (const auto& t : next)
                ids.insert(t.id);
            m_checkingProgress.retain(ids);
        }
        // The places follow the rows without hashing every id again: a key
        // still views its row's id where the id's characters moved along
        // with the row (always, for ids too long to live inside the string).
        std::vector<decltype(m_positions)::iterator> rekeyed;
        for (auto it = m_positions.begin(); it != m_positions.end();) {
            const std::size_t to = it->second < moved.size() ? moved[it->second] : kGone;
            if (to == kGone) {
                it = m_positions.erase(it);
                continue;
            }
            it->second = to;
            if (it->first.data() != next[to].id.data())
                rekeyed.push_back(it);
            ++it;
        }
        for (auto it : rekeyed) {
            auto node = m_positions.extract(it);
            node.key() = next[node.mapped()].id;
            m_positions.insert(std::move(node));
        }
        for (std::size_t p : added)
            m_positions.emplace(next[p].id, p);
        m_torrents = std::move(next);
        if (!change.changed.empty() || !change.removed.empty() || change.reordered) {
            change.revision = ++m_torrentsRevision;
            m_lastChange = std::move(change);
            emit torrentsChanged();
        }
        return true;
    }
    // Only the rows that changed, and the speeds of the checks still running.
    TorrentsChange change;
    std::unordered_set<std::string> seen;
    for (size_t k = 0; k < delta.rows.size(); ++k) {
        size_t at = k < delta.positions.size() ? delta.positions[k] : m_torrents.size();
        TorrentStatus& t = delta.rows[k];
        if (at >= m_torrents.size() || m_torrents[at].id != t.id)
            return false;
        checking(t);
        if (!m_activeChecks.empty())
            seen.insert(t.id);
        if (t != m_torrents[at]) {
            change.changed.push_back(t.id);
            // The id's own string stays: m_positions is keyed by it.
            std::string id = std::move(m_torrents[at].id);
            m_torrents[at] = std::move(t);
            m_torrents[at].id = std::move(id);
        }
    }
    for (const auto& id : m_activeChecks) {
        auto at = m_positions.find(id);
        if (seen.contains(id) || at == m_positions.end())
            continue;
        TorrentStatus& t = m_torrents[at->second];
        auto rate = m_checkingProgress.update(t.id, t.progress, t.total, true, now);
        if (rate != t.checkingRate) {
            t.checkingRate = rate;
            change.changed.push_back(t.id);
        }
    }
    if (!change.changed.empty()) {
        change.revision = ++m_torrentsRevision;
        m_lastChange = std::move(change);
        emit torrentsChanged();
    }
    return true;
}

void TorrentEngine::handle(const TorrentEvent& e) {
    if (e.type == "finished") {
        auto t = torrent(e.id);
        if (t && t->wanted >= 1)
            show("«" + e.name + "» скачан");
    } else if (e.type == "metadata") {
        setFocusRequest(e.id);
    } else if (e.type == "error") {
        show("«" + e.name + "»: " + e.message);
    } else if (e.type == "recheck") {
        show("«" + e.name + "»: проверка файлов");
    } else if (e.type == "listen_failed") {
        show("Порт недоступен: " + e.message);
    } else if (e.type == "save_failed") {
        show(e.name.empty() ? e.message : "«" + e.name + "»: " + e.message);
    } else if (e.type == "set_aside") {
        noteStartFinding(e.message);
    }
}

void TorrentEngine::show(const std::string& message, int milliseconds) {
    if (m_toast != message) {
        m_toast = message;
        emit toastChanged();
    }
    QPointer<TorrentEngine> self(this);
    QTimer::singleShot(milliseconds, this, [self, message] {
        if (self && self->m_toast == message) {
            self->m_toast.reset();
            emit self->toastChanged();
        }
    });
}

void TorrentEngine::scheduleMetaSave() {
    m_saveMetaTimer.start();
}

namespace {

std::unexpected<EngineError> untouchable(const FileCheck& check) {
    return std::unexpected(EngineError{"«" + check.file.filename().string() +
                                       "» не читается и не перезаписывается: изменение не "
                                       "сохранено"});
}

} // namespace

std::expected<void, EngineError> TorrentEngine::saveSettingsNow() {
    m_saveSettingsTimer.stop();
    m_settingsUnsaved.invalidate();
    if (!m_settingsCheck.writable())
        return untouchable(m_settingsCheck);
    return writeDataFile(Storage::kSettingsFile, [this] {
        std::error_code error;
        Storage::saveSettings(m_settings, m_dataFolder / Storage::kSettingsFile, &error);
        return error;
    });
}

std::expected<void, EngineError> TorrentEngine::saveMetaNow() {
    if (!m_metaCheck.writable())
        return untouchable(m_metaCheck);
    return writeDataFile(Storage::kTorrentsFile, [this] {
        std::error_code error;
        Storage::saveMeta(m_meta, m_dataFolder / Storage::kTorrentsFile, &error);
        return error;
    });
}

std::expected<void, EngineError>
TorrentEngine::writeDataFile(const std::string& name, std::function<std::error_code()> write) {
    std::error_code error = write();
    bool known = m_unsaved.contains(name);
    if (!error) {
        if (known) {
            m_unsaved.erase(name);
            if (!m_isShutDown)
                show("«" + name + "» сохранён");
        }
        return {};
    }
    std::string text = "Не удалось сохранить «" + name + "»: " + writeFailureText(error);
    std::fprintf(stderr, "tevro: cannot write %s: %s\n", (m_dataFolder / name).c_str(),
                 error.message().c_str());
    m_unsaved[name] = Unsaved{std::move(write)};
    if (!known && !m_isShutDown)
        show(text + ". Tevro повторит запись, когда это станет возможно");
    return std::unexpected(EngineError{text});
}

std::vector<std::string> TorrentEngine::unsavedFiles() const {
    std::vector<std::string> out;
    for (const auto& [name, unsaved] : m_unsaved)
        out.push_back(name);
    return out;
}

void TorrentEngine::retryUnsaved() {
    if (m_unsaved.empty() || (m_sinceRetry.isValid() && m_sinceRetry.elapsed() < 2000))
        return;
    m_sinceRetry.start();
    // A copy: a write that succeeds leaves the map.
    for (auto [name, unsaved] : m_unsaved)
        writeDataFile(name, unsaved.write);
}

void TorrentEngine::noteStartFinding(const std::string& line) {
    std::fprintf(stderr, "tevro: %s\n", line.c_str());
    if (m_startTold) {
        show(line, 15000);
        return;
    }
    m_startFindings.push_back(line);
}

void TorrentEngine::tellStartFindings() {
    if (m_startTold)
        return;
    m_startTold = true;
    if (m_startFindings.empty())
        return;
    std::string text = "Повреждённые или недоступные файлы данных: ";
    for (std::size_t i = 0; i < m_startFindings.size(); ++i)
        text += (i ? "; " : "") + m_startFindings[i];
    // Read once per start, so it stays a while.
    show(text, 15000);
}

void TorrentEngine::shutdown() {
    if (m_isShutDown)
        return;
    m_isShutDown = true;
    m_timer.stop();
    m_memoryPressureTimer.stop();
    m_queue->sync([] {});
    m_streamQueue->stop();
    m_saveSettingsTimer.stop();
    m_saveMetaTimer.stop();
    saveSettingsNow();
    saveMetaNow();
    // What still cannot be written gets a last try; it is lost only now.
    m_sinceRetry.invalidate();
    retryUnsaved();
    tb_session_destroy(m_session);
    m_session = nullptr;
}

} // namespace tevro
