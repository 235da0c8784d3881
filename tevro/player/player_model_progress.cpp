// The one-second progress loop, resume positions, the next episode's early
// download and the hiding of the controls.

#include "tevro/player/player_model.h"

#include <algorithm>
#include <cmath>

#include <QPointer>

#include "tevro/bridge/torrent_bridge.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/media/media_matcher.h"
#include "tevro/player/number_text.h"
#include "tevro/player/stream_protocol.h"

namespace tevro {

namespace {

constexpr std::int64_t kAudioPrefetchWindow = 25165824; // 24 MiB
constexpr double kDefaultReadahead = 10.0;
constexpr double kMinReadahead = 3.0;
constexpr double kMaxReadahead = 120.0;
constexpr double kReadaheadMargin = 5.0;
constexpr double kReadaheadThreshold = 2.0;
constexpr double kResumeAfter = 30.0;
constexpr double kForgetBeforeEnd = 90.0;
constexpr double kNextEpisodeWindow = 300.0;

} // namespace

void PlayerModel::startProgressTimer() {
    m_progressTimer.start();
    refreshProgress();
}

void PlayerModel::cancelProgressTask() {
    m_progressTask.reset();
}

void PlayerModel::refreshProgress() {
    if (!m_item)
        return;
    const std::string& id = m_item->torrentID;
    // Both calls wait on the library (prefetch on a skipped file up to a
    // second): they run on the engine's stream queue, one round at a time.
    if (!m_streamQueryBusy) {
        std::vector<int> prefetch;
        double fraction = 0;
        if (m_duration > 0 && m_tick % 3 == 0) {
            fraction = m_position / m_duration;
            for (const auto& audio : m_externalAudio) {
                std::string url = streamURL(id, audio.file.i);
                bool playing =
                    std::any_of(m_tracks.begin(), m_tracks.end(), [&](const MediaTrack& t) {
                        return t.externalFile == url && t.selected;
                    });
                if (!playing)
                    prefetch.push_back(static_cast<int>(audio.file.i));
            }
        }
        m_streamQueryBusy = true;
        QPointer<PlayerModel> self(this);
        std::uint64_t generation = m_openGeneration;
        int file = static_cast<int>(m_item->file.i);
        m_engine.streamQuery<double>(
            [id, file, prefetch, fraction](tb_session* session) {
                if (!session)
                    return -1.0;
                for (int audio : prefetch)
                    tb_prefetch(session, id.c_str(), audio, kAudioPrefetchWindow, fraction);
                return tb_stream_progress(session, id.c_str(), file);
            },
            [self, generation](double progress) {
                if (!self)
                    return;
                self->m_streamQueryBusy = false;
                if (self->m_openGeneration != generation || !self->m_item)
                    return;
                self->setBufferProgress(progress >= 0 ? std::optional<double>(progress)
                                                      : std::nullopt);
            });
    }

    ++m_tick;
    if (m_tick % 2 == 1 && !m_progressTask) {
        std::uint64_t token = ++m_progressTaskSerial;
        m_progressTask = token;
        std::uint64_t generation = m_openGeneration;
        PlayItem item = *m_item;
        bool wantFiles = m_tick % 6 == 1;
        QPointer<PlayerModel> self(this);
        auto current = [self, token, generation, item] {
            return self && self->m_progressTask == token && self->m_openGeneration == generation &&
                   self->m_item == item;
        };
        auto finish = [self, token, generation] {
            if (self && self->m_progressTask == token && self->m_openGeneration == generation)
                self->m_progressTask.reset();
        };
        m_engine.pieces(item.torrentID, static_cast<int>(item.file.i),
                        [self, current, finish, item, wantFiles](std::string map) {
                            if (!current())
                                return finish();
                            if (!self->m_previousPieceMap || *self->m_previousPieceMap != map) {
                                self->setDownloadedRanges(ranges(map));
                                self->m_previousPieceMap = map;
                            }
                            self->adjustReadahead(map);
                            if (!wantFiles)
                                return finish();
                            self->m_engine.files(
                                item.torrentID,
                                [self, current, finish](std::vector<TorrentFile> list) {
                                    if (current() && list != self->m_files)
                                        self->setFiles(std::move(list));
                                    finish();
                                });
                        });
    }
}

std::vector<DownloadedRange> PlayerModel::ranges(std::string_view map) {
    std::vector<DownloadedRange> out;
    double n = static_cast<double>(map.size());
    std::optional<size_t> start;
    for (size_t i = 0; i < map.size(); ++i) {
        if (map[i] == '1') {
            if (!start)
                start = i;
        } else if (start) {
            out.push_back({static_cast<double>(*start) / n, static_cast<double>(i) / n});
            start.reset();
        }
    }
    if (start)
        out.push_back({static_cast<double>(*start) / n, 1.0});
    return out;
}

double PlayerModel::readahead(std::string_view map, double position, double duration) {
    if (map.empty() || !(duration > 0))
        return kDefaultReadahead;
    auto n = static_cast<std::int64_t>(map.size());
    double raw = position / duration * static_cast<double>(n);
    std::int64_t i = std::isfinite(raw)
                         ? static_cast<std::int64_t>(std::clamp(raw, -1.0, static_cast<double>(n)))
                         : 0;
    i = std::clamp<std::int64_t>(i, 0, n - 1);
    while (map[static_cast<size_t>(i)] == '1') {
        if (++i == n)
            return kMaxReadahead;
    }
    double seconds =
        duration * static_cast<double>(i) / static_cast<double>(n) - position - kReadaheadMargin;
    return std::clamp(seconds, kMinReadahead, kMaxReadahead);
}

void PlayerModel::adjustReadahead(const std::string& map) {
    if (!(m_duration > 0) || !m_core)
        return;
    double r = readahead(map, m_position, m_duration);
    if (std::abs(r - m_appliedReadahead) >= kReadaheadThreshold) {
        m_appliedReadahead = r;
        m_core->set("demuxer-readahead-secs", NumberText::fixed(r, 0));
    }
}

void PlayerModel::savePosition() {
    if (!m_item || !m_loaded || !(m_duration > 0))
        return;
    m_lastSavedAt = Clock::now();
    bool nearEnd = m_position >= m_duration - kForgetBeforeEnd;
    double position = m_position;
    std::int64_t index = m_item->file.i;
    m_engine.updateMeta(m_item->torrentID, [=](TorrentMeta& meta) {
        if (position > kResumeAfter && !nearEnd)
            meta.positions[index] = position;
        else if (nearEnd)
            meta.positions.erase(index);
    });
}

void PlayerModel::prefetchNextIfNeeded() {
    if (m_prefetchedNext)
        return;
    if (!m_engine.settings().autoplayNext || !m_item || !(m_duration > 0) ||
        !(m_duration - m_position < kNextEpisodeWindow))
        return;
    auto next = nextFile();
    if (!next)
        return;
    m_prefetchedNext = true;
    if (next->prio == 0)
        m_engine.setPriority(m_item->torrentID, {static_cast<int>(next->i)}, FilePriority::normal);
}

void PlayerModel::poke() {
    setControlsVisible(true);
    m_hideWork.start();
}

void PlayerModel::hideControls() {
    if (m_paused || !m_loaded || m_error)
        return;
    setControlsVisible(false);
    emit hideCursor();
}

} // namespace tevro
