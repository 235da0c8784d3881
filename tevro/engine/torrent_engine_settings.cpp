// The engine's settings side: pushing settings to the bridge, the public
// tracker-list refresh, seeding limits, memory pressure and hash-check resources.

#include "tevro/engine/torrent_engine.h"

#include <algorithm>
#include <cmath>

#include <QPointer>

#include "tevro/bridge/torrent_bridge.h"
#include "tevro/core/storage.h"
#include "tevro/engine/tracker_list_fetcher.h"

namespace tevro {

namespace {

std::string joinLines(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& s : items) {
        if (!out.empty())
            out += '\n';
        out += s;
    }
    return out;
}

} // namespace

void TorrentEngine::setSettings(const AppSettings& settings) {
    if (settings == m_settings)
        return;
    m_settings = settings;
    emit settingsChanged();
    settingsChain();
}

std::expected<void, EngineError> TorrentEngine::commitSettings(const AppSettings& settings) {
    setSettings(settings);
    if (!m_saveSettingsTimer.isActive() && !m_unsaved.contains(Storage::kSettingsFile))
        return {};
    return saveSettingsNow();
}

void TorrentEngine::settingsChain() {
    applyEngineSettings();
    applyTrackers();
    applyBans();
    // 0.5 s after the last change, but never more than 2 s after the first
    // one not yet saved.
    if (!m_settingsUnsaved.isValid())
        m_settingsUnsaved.start();
    qint64 left = 2000 - m_settingsUnsaved.elapsed();
    m_saveSettingsTimer.start(static_cast<int>(std::clamp<qint64>(left, 0, 500)));
}

void TorrentEngine::applyEngineSettings() {
    if (m_isShutDown)
        return;
    std::string text = engineSettingsText();
    if (text == m_appliedSettings)
        return;
    m_appliedSettings = text;
    tb_apply_settings(m_session, text.c_str());
    emit settingsPushed();
}

void TorrentEngine::applyTrackers() {
    if (m_isShutDown)
        return;
    std::string list = joinLines(m_settings.extraTrackers());
    std::string key = list + "|" + (m_settings.trackerMirrors ? "true" : "false");
    if (key == m_appliedTrackers)
        return;
    m_appliedTrackers = key;
    tb_set_extra_trackers(m_session, list.c_str(), m_settings.trackerMirrors ? 1 : 0);
}

void TorrentEngine::applyBans() {
    if (m_isShutDown)
        return;
    std::string text = m_settings.banLeechers ? joinLines(AppSettings::leecherClients) : "";
    if (text == m_appliedBans)
        return;
    m_appliedBans = text;
    tb_set_banned_clients(m_session, text.c_str());
}

void TorrentEngine::refreshTrackers(bool force) {
    if (!m_settings.autoTrackers)
        return;
    if (!force && m_settings.trackersFetchedAt &&
        std::chrono::system_clock::now() - *m_settings.trackersFetchedAt < std::chrono::hours(24))
        return;
    auto setStatus = [this](std::string text) {
        if (m_trackerFetchStatus != text) {
            m_trackerFetchStatus = std::move(text);
            emit trackerFetchStatusChanged();
        }
    };
    setStatus("Обновление…");
    std::vector<std::string> sources =
        m_options.trackerSources ? *m_options.trackerSources : trackerSources(m_settings.profile);
    if (sources.empty()) {
        setStatus("Источники недоступны");
        return;
    }
    QPointer<TorrentEngine> self(this);
    m_fetcher->fetch(std::move(sources), [self, setStatus](auto result) {
        if (!self || self->m_isShutDown)
            return;
        if (!result) {
            setStatus("Источники недоступны");
            return;
        }
        AppSettings s = self->m_settings;
        s.fetchedTrackers = result->trackers;
        self->setSettings(s);
        s.trackersFetchedAt = std::chrono::system_clock::now();
        self->setSettings(s);
        setStatus(std::to_string(result->trackers.size()) + " · " + result->host);
    });
}

bool TorrentEngine::settingsLimitReached(const TorrentStatus& t) const {
    const AppSettings& s = m_settings;
    if (s.ratioLimit > 0) {
        std::int64_t base = std::max(t.totalDone, t.downloaded);
        if (base >= 1 &&
            static_cast<double>(t.uploaded) / static_cast<double>(base) >= s.ratioLimit)
            return true;
    }
    // Minutes so large that the seconds overflow can never be reached.
    std::int64_t limitSeconds = 0;
    if (s.seedTimeLimitMinutes >= 1 &&
        !__builtin_mul_overflow(s.seedTimeLimitMinutes, std::int64_t{60}, &limitSeconds) &&
        t.seedingTime >= limitSeconds)
        return true;
    return false;
}

void TorrentEngine::enforceSeedLimits() {
    if (!(m_settings.ratioLimit > 0) && m_settings.seedTimeLimitMinutes < 1)
        return;
    // Pausing shows a message, which must not disturb the list being walked.
    std::vector<std::pair<std::string, std::string>> reached; // id, name
    for (const auto& t : m_torrents) {
        if (!t.seeding || t.paused)
            continue;
        if (auto it = m_meta.find(t.id); it != m_meta.end() && it->second.ignoreSeedLimits)
            continue;
        if (settingsLimitReached(t))
            reached.emplace_back(t.id, t.name);
    }
    for (const auto& [id, name] : reached) {
        tb_action(m_session, id.c_str(), "pause");
        show("Раздача «" + name + "» остановлена по лимиту");
    }
}

void TorrentEngine::observeMemoryPressure() {
    // The kernel's pressure figures are read every two seconds; a change of
    // level re-evaluates the checking resources at once.
    m_memoryPressureTimer.setInterval(2000);
    connect(&m_memoryPressureTimer, &QTimer::timeout, this, [this] {
        int level = m_probe->memoryPressure().value_or(0);
        if (level != m_memoryPressure) {
            m_memoryPressure = level;
            updateCheckingResources(true);
        }
    });
    m_memoryPressure = m_probe->memoryPressure().value_or(0);
    m_memoryPressureTimer.start();
}

void TorrentEngine::setCheckingPlaybackActive(bool active) {
    m_checkingPlaybackActive = active;
    updateCheckingResources(true);
}

void TorrentEngine::updateCheckingResources(bool force) {
    if (m_isShutDown)
        return;
    double now = m_probe->now();
    // The figures matter to a check: while none runs, a look every ten
    // seconds keeps them near the machine, without reading the processor
    // and thermal figures (or resending settings as the load moves) every
    // second of an idle day.
    double every = m_activeChecks.empty() ? 10.0 : 1.0;
    if (now - m_lastResourceSample >= every) {
        m_lastResourceSample = now;
        m_otherBusyCores = m_checkingLoad.sample(*m_probe, m_checkingHardware.processors, now);
    } else if (!force) {
        return;
    }
    CheckingResources::Conditions c;
    c.otherBusyCores = m_otherBusyCores;
    c.playbackActive = m_checkingPlaybackActive;
    c.lowPower = m_probe->lowPower();
    c.thermalState = m_probe->thermalState();
    c.memoryPressure = m_memoryPressure;
    c.interfaceLagging = now - m_lastInterfaceDelay < 5.0;
    CheckingResources before = m_checkingController.current;
    m_checkingController.update(CheckingResources::target(m_checkingHardware, c), now);
    if (!(m_checkingController.current == before))
        applyEngineSettings();
}

} // namespace tevro
