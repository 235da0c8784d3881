#include "tevro/player/player_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include <mpv/client.h>

#include "tevro/engine/torrent_engine.h"
#include "tevro/media/media_matcher.h"
#include "tevro/player/number_text.h"
#include "tevro/player/stream_protocol.h"

namespace tevro {

namespace {

constexpr double kResumeMinimum = 5.0;

std::string lastComponent(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

PlayerModel& PlayerModel::shared() {
    static PlayerModel* model = new PlayerModel(TorrentEngine::shared());
    return *model;
}

PlayerModel::PlayerModel(TorrentEngine& engine, QObject* parent)
    : QObject(parent), m_engine(engine) {
    const char* silent = std::getenv("TEVRO_SILENT");
    m_silent = silent && std::string_view(silent) == "1";

    for (QTimer* t : {&m_hideWork, &m_quickResumeWork, &m_reloadWork, &m_seekWork})
        t->setSingleShot(true);
    m_hideWork.setInterval(3000);
    m_quickResumeWork.setInterval(30000);
    m_reloadWork.setInterval(200);
    m_seekWork.setInterval(400);
    connect(&m_hideWork, &QTimer::timeout, this, &PlayerModel::hideControls);
    connect(&m_quickResumeWork, &QTimer::timeout, this, &PlayerModel::endQuickResume);
    connect(&m_reloadWork, &QTimer::timeout, this, &PlayerModel::performReload);
    connect(&m_seekWork, &QTimer::timeout, this, [this] {
        if (m_seeking)
            setWaitingAfterSeek(true);
    });
    m_progressTimer.setInterval(1000);
    m_progressTimer.setTimerType(Qt::CoarseTimer);
    connect(&m_progressTimer, &QTimer::timeout, this, &PlayerModel::refreshProgress);
}

PlayerModel::~PlayerModel() {
    if (m_core)
        m_core->destroy();
}

std::string PlayerModel::escape(std::string_view text) {
    return "%" + std::to_string(text.size()) + "%" + std::string(text);
}

std::string PlayerModel::itemURL() const {
    return m_item ? streamURL(m_item->torrentID, m_item->file.i) : std::string();
}

std::shared_ptr<MPVCore> PlayerModel::ensureCore() {
    if (m_core)
        return m_core;
    MPVCore::Options options;
    options.session = m_engine.session();
    options.hardwareDecoding = m_engine.settings().hardwareDecoding;
    options.silent = m_silent;
    m_core = MPVCore::create(options);
    if (m_core) {
        QPointer<PlayerModel> self(this);
        m_core->setOnEvent([self](const MPVEvent& event) {
            if (self)
                self->handle(event);
        });
    }
    return m_core;
}

void PlayerModel::open(const std::string& torrentID, const TorrentFile& file,
                       std::function<void()> done) {
    if (auto t = m_engine.torrent(torrentID); t && t->state == "missing") {
        setError(t->error);
        if (done)
            done();
        return;
    }
    std::uint64_t generation = ++m_openGeneration;
    cancelProgressTask();
    savePosition();
    if (!ensureCore()) {
        setError("Плеер недоступен");
        if (done)
            done();
        return;
    }
    QPointer<PlayerModel> self(this);
    m_engine.files(torrentID, [self, generation, torrentID, file,
                               done = std::move(done)](std::vector<TorrentFile> files) {
        if (self && self->m_openGeneration == generation)
            self->finishOpen(torrentID, file, std::move(files));
        if (done)
            done();
    });
}

void PlayerModel::finishOpen(const std::string& torrentID, const TorrentFile& file,
                             std::vector<TorrentFile> files) {
    setFiles(std::move(files));
    ExternalTracks external = MediaMatcher::externalTracks(file, m_files);
    setExternal(external.audio, external.subtitles);
    if (!external.subtitles.empty()) {
        std::vector<int> indices;
        for (const auto& s : external.subtitles)
            indices.push_back(static_cast<int>(s.file.i));
        m_engine.setPriority(torrentID, indices, FilePriority::high);
    }

    setItem(PlayItem{torrentID, file});
    setTracks({});
    setLoaded(false);
    setEnded(false);
    setHasVideo(false);
    setError(std::nullopt);
    setPosition(0);
    setDuration(0);
    setCacheTime(0);
    setDownloadedRanges({});
    m_previousPieceMap.reset();
    m_tick = 0;
    m_autoSelected = false;
    m_prefetchedNext = false;
    m_recoveries = 0;
    m_reloadWork.stop();
    m_reloadTarget.reset();
    m_reloadAudio.reset();
    m_reloadSubtitle.reset();
    m_reloadExternal.clear();
    m_reloading = false;
    m_appliedReadahead = 10;
    m_core->set("demuxer-readahead-secs", "10");
    // A track picked in the last file is a global option to mpv: without this
    // the next file would start on that track number instead of its own choice.
    m_core->set("aid", "auto");
    m_core->set("sid", "auto");
    m_openedAt = Clock::now();
    setTracksReadyAfter(std::nullopt);
    setFirstFrameAfter(std::nullopt);
    setControlsVisible(true);

    std::vector<std::string> options = {"force-media-title=" + escape(lastComponent(file.path))};
    if (m_engine.settings().resumePlayback) {
        auto meta = m_engine.meta().find(torrentID);
        if (meta != m_engine.meta().end()) {
            auto stored = meta->second.positions.find(file.i);
            if (stored != meta->second.positions.end() && stored->second > kResumeMinimum) {
                options.push_back("start=" +
                                  std::to_string(static_cast<std::int64_t>(stored->second)));
                setPosition(stored->second);
            }
        }
    }
    std::string joined;
    for (const auto& o : options)
        joined += (joined.empty() ? "" : ",") + o;
    sendLoad(streamURL(torrentID, file.i), joined);
    m_core->set("pause", "no");

    std::int64_t index = file.i;
    m_engine.updateMeta(torrentID, [index](TorrentMeta& meta) { meta.lastPlayedFile = index; });
    startProgressTimer();
    poke();
}

// libmpv 0.35 takes "loadfile <url> <flags> <options>". A command mpv refuses
// never starts a file, so no end-file event would ever end the wait: the
// refusal, immediate or in the reply, becomes the player's error.
void PlayerModel::sendLoad(const std::string& url, const std::string& options) {
    std::uint64_t id = (1ull << 32) + ++m_loadSerial;
    m_pendingLoad = id;
    int result = m_core->commandAsync({"loadfile", url, "replace", options}, id);
    if (result < 0) {
        m_pendingLoad.reset();
        loadFailed(result);
    }
}

void PlayerModel::loadFailed(int code) {
    if (code < 0)
        setError(std::string("Не удалось открыть файл (") + mpv_error_string(code) + ")");
    else
        setError("Не удалось открыть файл");
}

void PlayerModel::stop() {
    ++m_openGeneration;
    savePosition();
    m_progressTimer.stop();
    cancelProgressTask();
    m_hideWork.stop();
    m_seekWork.stop();
    m_reloadWork.stop();
    endQuickResume();
    m_reloadTarget.reset();
    m_reloadAudio.reset();
    m_reloadSubtitle.reset();
    m_reloadExternal.clear();
    m_reloading = false;
    m_pendingLoad.reset();
    setWaitingAfterSeek(false);
    m_previousPieceMap.reset();
    if (m_core)
        m_core->commandAsync({"stop"});
    setItem(std::nullopt);
    setTracks({});
    setLoaded(false);
}

void PlayerModel::seek(double seconds) {
    if (!(m_duration > 0))
        return;
    double target = std::min(std::max(m_duration - 1, 0.0), std::max(seconds, 0.0));
    setPosition(target);
    setEnded(false);
    if (streamBlocked())
        reload(target, std::nullopt, std::nullopt);
    else if (m_core)
        m_core->commandAsync({"seek", NumberText::fixed(target, 3), "absolute+keyframes"});
}

void PlayerModel::setVolume(double value) {
    if (!m_core)
        return;
    double v = std::clamp(value, 0.0, 200.0);
    m_core->set("volume", std::to_string(static_cast<int>(v)));
}

void PlayerModel::togglePause() {
    if (m_ended && m_item) {
        setEnded(false);
        seek(0);
        if (m_core)
            m_core->set("pause", "no");
        return;
    }
    if (m_core)
        m_core->commandAsync({"cycle", "pause"});
}

void PlayerModel::play(const TorrentFile& file) {
    if (!m_item)
        return;
    std::string id = m_item->torrentID;
    QPointer<PlayerModel> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, id, file] {
            if (self)
                self->open(id, file);
        },
        Qt::QueuedConnection);
}

void PlayerModel::playNext() {
    if (auto next = nextFile())
        play(*next);
}

void PlayerModel::playPrevious() {
    if (auto previous = previousFile())
        play(*previous);
}

std::optional<TorrentFile> PlayerModel::nextFile() const {
    if (!m_item)
        return std::nullopt;
    return MediaMatcher::next(m_item->file, m_files);
}

std::optional<TorrentFile> PlayerModel::previousFile() const {
    if (!m_item)
        return std::nullopt;
    return MediaMatcher::previous(m_item->file, m_files);
}

void PlayerModel::updateCheckingPriority() {
    bool active = m_item && !m_paused && !m_ended;
    if (active != m_engine.checkingPlaybackActive())
        m_engine.setCheckingPlaybackActive(active);
}

// ---- Compare-and-notify setters ----------------------------------------------

namespace {

template <class T, class Signal> void assign(PlayerModel* model, T& field, T value, Signal signal) {
    if (field == value)
        return;
    field = std::move(value);
    emit(model->*signal)();
}

} // namespace

void PlayerModel::setItem(std::optional<PlayItem> v) {
    assign(this, m_item, std::move(v), &PlayerModel::itemChanged);
    updateCheckingPriority();
}
void PlayerModel::setFiles(std::vector<TorrentFile> v) {
    assign(this, m_files, std::move(v), &PlayerModel::filesChanged);
}
void PlayerModel::setTracks(std::vector<MediaTrack> v) {
    assign(this, m_tracks, std::move(v), &PlayerModel::tracksChanged);
}
void PlayerModel::setExternal(std::vector<ExternalTrack> audio,
                              std::vector<ExternalTrack> subtitles) {
    if (audio == m_externalAudio && subtitles == m_externalSubtitles)
        return;
    m_externalAudio = std::move(audio);
    m_externalSubtitles = std::move(subtitles);
    emit externalTracksChanged();
}
void PlayerModel::setPosition(double v) {
    assign(this, m_position, v, &PlayerModel::positionChanged);
}
void PlayerModel::setDuration(double v) {
    assign(this, m_duration, v, &PlayerModel::durationChanged);
}
void PlayerModel::setPaused(bool v) {
    assign(this, m_paused, v, &PlayerModel::pausedChanged);
    updateCheckingPriority();
}
void PlayerModel::setBuffering(bool v) {
    assign(this, m_buffering, v, &PlayerModel::bufferingChanged);
}
void PlayerModel::setSeeking(bool v) {
    assign(this, m_seeking, v, &PlayerModel::seekingChanged);
}
void PlayerModel::setCacheTime(double v) {
    assign(this, m_cacheTime, v, &PlayerModel::cacheTimeChanged);
}
void PlayerModel::setVolumeValue(double v) {
    assign(this, m_volume, v, &PlayerModel::volumeChanged);
}
void PlayerModel::setMuted(bool v) {
    assign(this, m_muted, v, &PlayerModel::mutedChanged);
}
void PlayerModel::setSpeed(double v) {
    assign(this, m_speed, v, &PlayerModel::speedChanged);
}
void PlayerModel::setLoaded(bool v) {
    assign(this, m_loaded, v, &PlayerModel::loadedChanged);
}
void PlayerModel::setEnded(bool v) {
    assign(this, m_ended, v, &PlayerModel::endedChanged);
    updateCheckingPriority();
}
void PlayerModel::setHasVideo(bool v) {
    assign(this, m_hasVideo, v, &PlayerModel::hasVideoChanged);
}
void PlayerModel::setError(std::optional<std::string> v) {
    assign(this, m_error, std::move(v), &PlayerModel::errorChanged);
}
void PlayerModel::setControlsVisible(bool v) {
    assign(this, m_controlsVisible, v, &PlayerModel::controlsVisibleChanged);
}
void PlayerModel::setDownloadedRanges(std::vector<DownloadedRange> v) {
    assign(this, m_downloadedRanges, std::move(v), &PlayerModel::downloadedRangesChanged);
}
void PlayerModel::setBufferProgress(std::optional<double> v) {
    assign(this, m_bufferProgress, v, &PlayerModel::bufferProgressChanged);
}
void PlayerModel::setWaitingAfterSeek(bool v) {
    assign(this, m_waitingAfterSeek, v, &PlayerModel::waitingAfterSeekChanged);
}
void PlayerModel::setTracksReadyAfter(std::optional<double> v) {
    assign(this, m_tracksReadyAfter, v, &PlayerModel::tracksReadyAfterChanged);
}
void PlayerModel::setFirstFrameAfter(std::optional<double> v) {
    assign(this, m_firstFrameAfter, v, &PlayerModel::firstFrameAfterChanged);
}

} // namespace tevro
