#pragma once

// The player's state and command surface: what is playing, the playback
// state the core reports, the track menus, resume positions and the next
// episode. One shared instance lives on the main thread; every player view
// observes it and the windows, menus and local servers drive it. All calls
// and signals are on the main thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "tevro/core/torrent_file.h"
#include "tevro/media/external_track.h"
#include "tevro/player/media_track.h"
#include "tevro/player/mpv_core.h"
#include "tevro/player/mpv_event.h"
#include "tevro/player/play_item.h"
#include "tevro/player/track_option.h"

class QKeyEvent;
class QWheelEvent;

namespace tevro {

class TorrentEngine;

// A downloaded stretch of the playing file, as fractions 0...1 of its length.
struct DownloadedRange {
    double lower = 0;
    double upper = 0;
    bool operator==(const DownloadedRange&) const = default;
};

class PlayerModel : public QObject {
    Q_OBJECT
public:
    // The application's player, created on first use over the shared engine.
    static PlayerModel& shared();

    // A player driving `engine`; TEVRO_SILENT="1" in the environment at this
    // point turns audio output off for good.
    explicit PlayerModel(TorrentEngine& engine, QObject* parent = nullptr);
    ~PlayerModel() override;

    // ---- Observed state (each has a change signal below) -------------------
    const std::optional<PlayItem>& item() const { return m_item; }
    const std::vector<TorrentFile>& files() const { return m_files; }
    const std::vector<MediaTrack>& tracks() const { return m_tracks; }
    const std::vector<ExternalTrack>& externalAudio() const { return m_externalAudio; }
    const std::vector<ExternalTrack>& externalSubtitles() const { return m_externalSubtitles; }
    double position() const { return m_position; }
    double duration() const { return m_duration; }
    bool paused() const { return m_paused; }
    bool buffering() const { return m_buffering; }
    bool seeking() const { return m_seeking; }
    double cacheTime() const { return m_cacheTime; }
    double volume() const { return m_volume; }
    bool muted() const { return m_muted; }
    double speed() const { return m_speed; }
    bool loaded() const { return m_loaded; }
    bool ended() const { return m_ended; }
    bool hasVideo() const { return m_hasVideo; }
    const std::optional<std::string>& error() const { return m_error; }
    bool controlsVisible() const { return m_controlsVisible; }
    const std::vector<DownloadedRange>& downloadedRanges() const { return m_downloadedRanges; }
    std::optional<double> bufferProgress() const { return m_bufferProgress; }
    bool waitingAfterSeek() const { return m_waitingAfterSeek; }
    // Seconds from open until the track list arrived / the first frame showed.
    std::optional<double> tracksReadyAfter() const { return m_tracksReadyAfter; }
    std::optional<double> firstFrameAfter() const { return m_firstFrameAfter; }

    // ---- Playback ----------------------------------------------------------
    // Opens a file of a torrent; `done` runs when the open has finished or
    // was superseded by a later open or stop.
    void open(const std::string& torrentID, const TorrentFile& file,
              std::function<void()> done = {});
    // Ends playback and clears the item; the core stays.
    void stop();
    // Absolute seek, clamped to the file; nothing while the duration is unknown.
    void seek(double seconds);
    // 0...200, whole numbers; `volume` follows when the core reports it.
    void setVolume(double value);
    // Pause or resume; after the end, replay from the start.
    void togglePause();
    // Another file of the playing torrent, the next and the previous episode.
    void play(const TorrentFile& file);
    void playNext();
    void playPrevious();
    std::optional<TorrentFile> nextFile() const;
    std::optional<TorrentFile> previousFile() const;
    // Full screen on or off for the player window, raising it first.
    void toggleFullScreen();

    // Keys and the scroll wheel over the video; true when handled.
    bool handleKey(const QKeyEvent& event);
    bool handleScroll(const QWheelEvent& event);

    // The core, created on first need (also when the player window builds its
    // content); nothing when mpv cannot start, retried at the next call.
    std::shared_ptr<MPVCore> ensureCore();
    std::shared_ptr<MPVCore> core() const { return m_core; }

    // The player window, for full screen; set by the video surface.
    QWidget* window() const { return m_window; }
    void setWindow(QWidget* window) { m_window = window; }
    bool silent() const { return m_silent; }

    // The length-prefixed quoting of an mpv option value: "%<bytes>%<text>".
    static std::string escape(std::string_view text);

    // ---- Tracks ------------------------------------------------------------
    std::vector<TrackOption> audioOptions() const;
    // "Выключены" first.
    std::vector<TrackOption> subtitleOptions() const;
    // Applies a menu entry to the audio or subtitle slot and, with the
    // setting on, remembers it for the torrent.
    void select(const TrackOption& option, bool audio);
    // Selects the entry after the selected one, wrapping.
    void cycle(bool audio);
    // The selected audio / subtitle track of the core's list.
    std::optional<MediaTrack> currentAudio() const;
    std::optional<MediaTrack> currentSubtitle() const;
    // Menu texts of a core track; `number` counts from 1 among its kind.
    static std::string label(const MediaTrack& track, int number);
    static std::optional<std::string> detail(const MediaTrack& track);
    // A short name for the control bar.
    static std::optional<std::string> shortName(const std::optional<MediaTrack>& track);

    // ---- Events and recovery ------------------------------------------------
    // Applies one event of the core.
    void handle(const MPVEvent& event);
    // A read of the playing file waits for a piece.
    bool streamBlocked() const;
    // Reopens the file at `at` (debounced by 0.2 s) with the given "aid" and
    // "sid" values; used instead of seeking or switching tracks in place
    // while the stream is blocked.
    void reload(double at, std::optional<std::string> audio, std::optional<std::string> subtitle);
    // Attaches a separate audio or subtitle file of the torrent.
    void addExternal(const ExternalTrack& track, bool audio, bool select);
    // Shortens mpv's cache wait for up to 30 s after a track change.
    void quickResume();
    void endQuickResume();
    // The reply id of the last "loadfile" while its reply is outstanding.
    std::optional<std::uint64_t> pendingLoad() const { return m_pendingLoad; }

    // ---- Progress ----------------------------------------------------------
    // Shows the controls and re-arms their hiding.
    void poke();
    // Stores the resume position of the playing file in the torrent's meta.
    void savePosition();
    // Downloaded stretches of a piece text ('1' = downloaded), as fractions.
    static std::vector<DownloadedRange> ranges(std::string_view map);
    // The read-ahead in seconds that reaches the end of the downloaded
    // stretch in front of `position`, kept within 3...120 s.
    static double readahead(std::string_view map, double position, double duration);

signals:
    void itemChanged();
    void filesChanged();
    void tracksChanged();
    void externalTracksChanged();
    void positionChanged();
    void durationChanged();
    void pausedChanged();
    void bufferingChanged();
    void seekingChanged();
    void cacheTimeChanged();
    void volumeChanged();
    void mutedChanged();
    void speedChanged();
    void loadedChanged();
    void endedChanged();
    void hasVideoChanged();
    void errorChanged();
    void controlsVisibleChanged();
    void downloadedRangesChanged();
    void bufferProgressChanged();
    void waitingAfterSeekChanged();
    void tracksReadyAfterChanged();
    void firstFrameAfterChanged();
    // The controls just hid themselves: hide the pointer until it moves.
    void hideCursor();

private:
    using Clock = std::chrono::steady_clock;

    void finishOpen(const std::string& torrentID, const TorrentFile& file,
                    std::vector<TorrentFile> files);
    void sendLoad(const std::string& url, const std::string& options);
    void loadFailed(int code);
    void updateCheckingPriority();
    std::string itemURL() const;

    void handleProperty(const std::string& name, const MPVValue& value);
    void endOfFile();
    void finishedFile();
    void performReload();
    void autoSelect();

    void startProgressTimer();
    void refreshProgress();
    void adjustReadahead(const std::string& map);
    void prefetchNextIfNeeded();
    void cancelProgressTask();
    void hideControls();

    // Compare-and-notify setters.
    void setItem(std::optional<PlayItem> v);
    void setFiles(std::vector<TorrentFile> v);
    void setTracks(std::vector<MediaTrack> v);
    void setExternal(std::vector<ExternalTrack> audio, std::vector<ExternalTrack> subtitles);
    void setPosition(double v);
    void setDuration(double v);
    void setPaused(bool v);
    void setBuffering(bool v);
    void setSeeking(bool v);
    void setCacheTime(double v);
    void setVolumeValue(double v);
    void setMuted(bool v);
    void setSpeed(double v);
    void setLoaded(bool v);
    void setEnded(bool v);
    void setHasVideo(bool v);
    void setError(std::optional<std::string> v);
    void setControlsVisible(bool v);
    void setDownloadedRanges(std::vector<DownloadedRange> v);
    void setBufferProgress(std::optional<double> v);
    void setWaitingAfterSeek(bool v);
    void setTracksReadyAfter(std::optional<double> v);
    void setFirstFrameAfter(std::optional<double> v);

    TorrentEngine& m_engine;

    // Plain state.
    std::shared_ptr<MPVCore> m_core;
    QTimer m_hideWork;
    QTimer m_progressTimer;
    bool m_autoSelected = false;
    std::optional<Clock::time_point> m_lastSavedAt; // none: never
    std::optional<Clock::time_point> m_openedAt;
    bool m_silent = false;
    QPointer<QWidget> m_window;
    std::int64_t m_tick = 0;
    bool m_prefetchedNext = false;
    QTimer m_quickResumeWork;
    bool m_quickResumeActive = false;
    int m_recoveries = 0;
    double m_appliedReadahead = 10;
    QTimer m_reloadWork;
    std::optional<double> m_reloadTarget;
    std::optional<std::string> m_reloadAudio;
    std::optional<std::string> m_reloadSubtitle;
    std::vector<MediaTrack> m_reloadExternal;
    bool m_reloading = false;
    std::uint64_t m_openGeneration = 0;
    std::optional<std::uint64_t> m_progressTask; // token of the running refresh
    std::uint64_t m_progressTaskSerial = 0;
    std::optional<std::string> m_previousPieceMap;
    bool m_streamQueryBusy = false; // a progress round is on the stream queue
    QTimer m_seekWork;
    std::optional<std::uint64_t> m_pendingLoad;
    std::uint64_t m_loadSerial = 0;

    // Observed state.
    std::optional<PlayItem> m_item;
    std::vector<TorrentFile> m_files;
    std::vector<MediaTrack> m_tracks;
    std::vector<ExternalTrack> m_externalAudio;
    std::vector<ExternalTrack> m_externalSubtitles;
    double m_position = 0;
    double m_duration = 0;
    bool m_paused = false;
    bool m_buffering = false;
    bool m_seeking = false;
    double m_cacheTime = 0;
    double m_volume = 100;
    bool m_muted = false;
    double m_speed = 1.0;
    bool m_loaded = false;
    bool m_ended = false;
    bool m_hasVideo = false;
    std::optional<std::string> m_error;
    bool m_controlsVisible = true;
    std::vector<DownloadedRange> m_downloadedRanges;
    std::optional<double> m_bufferProgress;
    bool m_waitingAfterSeek = false;
    std::optional<double> m_tracksReadyAfter;
    std::optional<double> m_firstFrameAfter;
};

} // namespace tevro
