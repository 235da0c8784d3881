// Playback events of the core and the recovery of a stream that is still
// downloading: early ends, reloads instead of blocked seeks, quick resume.

#include "tevro/player/player_model.h"

#include <QPointer>

#include "tevro/bridge/torrent_bridge.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/media/media_matcher.h"
#include "tevro/player/number_text.h"
#include "tevro/player/stream_protocol.h"

namespace tevro {

namespace {

constexpr double kSaveInterval = 10.0;
constexpr double kEarlyEndMargin = 10.0;
constexpr int kMaxRecoveries = 5;
constexpr int kEndReasonError = 4;

template <class... F> struct Overloaded : F... { using F::operator()...; };

std::string lastComponent(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

void PlayerModel::handle(const MPVEvent& event) {
    if (!m_item) {
        if (auto* p = event.as<MPVEvent::Property>();
            p && (p->name == "volume" || p->name == "mute" || p->name == "speed"))
            handleProperty(p->name, p->value);
        return;
    }
    std::visit(Overloaded{
                   [&](const MPVEvent::Property& p) { handleProperty(p.name, p.value); },
                   [&](const MPVEvent::Tracks& t) {
                       setTracks(t.list);
                       if (!t.list.empty() && !m_tracksReadyAfter && m_openedAt)
                           setTracksReadyAfter(
                               std::chrono::duration<double>(Clock::now() - *m_openedAt).count());
                   },
                   [&](const MPVEvent::FileLoaded&) {
                       setLoaded(true);
                       if (m_reloading) {
                           m_reloading = false;
                           for (const auto& t : m_reloadExternal) {
                               if (!t.externalFile || !m_core)
                                   continue;
                               m_core->commandAsync(
                                   {t.kind == MediaTrack::Kind::audio ? "audio-add" : "sub-add",
                                    *t.externalFile, "select", t.title.value_or(""),
                                    t.language.value_or("")});
                           }
                           m_reloadExternal.clear();
                       } else {
                           autoSelect();
                       }
                   },
                   [&](const MPVEvent::PlaybackRestart&) {
                       setBuffering(false);
                       setWaitingAfterSeek(false);
                       if (!m_firstFrameAfter && m_openedAt)
                           setFirstFrameAfter(
                               std::chrono::duration<double>(Clock::now() - *m_openedAt).count());
                   },
                   [&](const MPVEvent::EndFile& e) {
                       if (e.reason == kEndReasonError)
                           loadFailed(e.error);
                   },
                   [&](const MPVEvent::CommandReply& r) {
                       if (!m_pendingLoad || r.id != *m_pendingLoad)
                           return;
                       m_pendingLoad.reset();
                       if (r.error < 0)
                           loadFailed(r.error);
                   },
                   [&](const MPVEvent::Shutdown&) {},
               },
               event.payload);
}

void PlayerModel::handleProperty(const std::string& name, const MPVValue& value) {
    if (name == "time-pos") {
        if (auto v = value.asDouble())
            setPosition(*v);
        if (!m_lastSavedAt ||
            std::chrono::duration<double>(Clock::now() - *m_lastSavedAt).count() > kSaveInterval)
            savePosition();
        prefetchNextIfNeeded();
    } else if (name == "duration") {
        setDuration(value.asDouble().value_or(0.0));
    } else if (name == "pause") {
        setPaused(value.asFlag().value_or(false));
        poke();
    } else if (name == "paused-for-cache") {
        setBuffering(value.asFlag().value_or(false));
        if (!m_buffering && m_quickResumeActive)
            endQuickResume();
    } else if (name == "seeking") {
        setSeeking(value.asFlag().value_or(false));
        m_seekWork.stop();
        if (m_seeking)
            m_seekWork.start();
        else
            setWaitingAfterSeek(false);
    } else if (name == "eof-reached") {
        if (value.asFlag().value_or(false))
            endOfFile();
    } else if (name == "demuxer-cache-time") {
        setCacheTime(value.asDouble().value_or(0.0));
    } else if (name == "volume") {
        if (auto v = value.asDouble())
            setVolumeValue(*v);
    } else if (name == "mute") {
        setMuted(value.asFlag().value_or(false));
    } else if (name == "speed") {
        setSpeed(value.asDouble().value_or(1.0));
    } else if (name == "video-params/w") {
        setHasVideo(value.asDouble().value_or(0.0) > 0);
    }
}

void PlayerModel::endOfFile() {
    if (!m_loaded)
        return;
    // A stream still downloading may report its end where data ran out.
    if (m_duration > 0 && m_position < m_duration - kEarlyEndMargin &&
        m_recoveries < kMaxRecoveries) {
        ++m_recoveries;
        if (m_core) {
            m_core->commandAsync({"seek", NumberText::fixed(m_position, 3), "absolute+exact"});
            m_core->set("pause", "no");
        }
        return;
    }
    setEnded(true);
    finishedFile();
}

void PlayerModel::finishedFile() {
    if (!m_item)
        return;
    std::int64_t index = m_item->file.i;
    m_engine.updateMeta(m_item->torrentID,
                        [index](TorrentMeta& meta) { meta.positions.erase(index); });
    if (!m_engine.settings().autoplayNext)
        return;
    if (auto next = MediaMatcher::next(m_item->file, m_files))
        play(*next);
}

void PlayerModel::quickResume() {
    if (m_core)
        m_core->set("cache-pause-wait", "0.3");
    m_quickResumeActive = true;
    m_quickResumeWork.start();
}

void PlayerModel::endQuickResume() {
    if (!m_quickResumeActive)
        return;
    m_quickResumeActive = false;
    m_quickResumeWork.stop();
    if (m_core)
        m_core->set("cache-pause-wait", "6");
}

bool PlayerModel::streamBlocked() const {
    if (!m_item || !m_loaded || !m_engine.session())
        return false;
    return tb_stream_waiting(m_engine.session(), m_item->torrentID.c_str(),
                             static_cast<int>(m_item->file.i)) != 0;
}

void PlayerModel::reload(double at, std::optional<std::string> audio,
                         std::optional<std::string> subtitle) {
    m_reloadTarget = at;
    if (audio)
        m_reloadAudio = std::move(audio);
    if (subtitle)
        m_reloadSubtitle = std::move(subtitle);
    setWaitingAfterSeek(true);
    m_reloadWork.start();
}

void PlayerModel::performReload() {
    if (!m_item || !m_core || !m_reloadTarget)
        return;
    std::string audio = m_reloadAudio    ? *m_reloadAudio
                        : currentAudio() ? std::to_string(currentAudio()->id)
                                         : std::string("auto");
    std::string subtitle = m_reloadSubtitle    ? *m_reloadSubtitle
                           : currentSubtitle() ? std::to_string(currentSubtitle()->id)
                                               : std::string("no");
    m_reloadExternal.clear();
    for (const auto& t : m_tracks)
        if (t.external && t.selected)
            m_reloadExternal.push_back(t);
    double target = *m_reloadTarget;
    m_reloadTarget.reset();
    m_reloadAudio.reset();
    m_reloadSubtitle.reset();
    m_reloading = true;
    std::string options = "force-media-title=" + escape(lastComponent(m_item->file.path)) +
                          ",start=" + NumberText::fixed(target, 3) + ",aid=" + audio +
                          ",sid=" + subtitle;
    sendLoad(itemURL(), options);
}

void PlayerModel::addExternal(const ExternalTrack& track, bool audio, bool select) {
    if (!m_core || !m_item)
        return;
    if (audio || track.file.prio == 0)
        m_engine.setPriority(m_item->torrentID, {static_cast<int>(track.file.i)},
                             FilePriority::high);
    m_core->commandAsync({audio ? "audio-add" : "sub-add",
                          streamURL(m_item->torrentID, track.file.i), select ? "select" : "auto",
                          track.title, track.language.value_or("")});
}

} // namespace tevro
