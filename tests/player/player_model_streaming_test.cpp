// The player model end to end: real libmpv drawing into a software render
// context, the real engine and bridge reader, and a throttled loopback
// seeder serving clips that ffmpeg makes for each test.

#include "tevro/player/player_model.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <thread>

#include <mpv/client.h>

#include <QKeyEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "tests/support/playback/clips.h"
#include "tests/support/playback/media_torrent.h"
#include "tests/support/playback/player_rig.h"
#include "tests/support/playback/software_renderer.h"
#include "tests/support/qt_app.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tevro/bridge/torrent_bridge.h"
#include "tevro/core/storage.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/player/stream_protocol.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// Ends the test program when a step that must return promptly hangs.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit, const char* what) {
        m_thread = std::thread([this, limit, what] {
            std::unique_lock lock(m_mutex);
            if (!m_cv.wait_for(lock, limit, [this] { return m_done; })) {
                std::fprintf(stderr, "hang: %s\n", what);
                std::abort();
            }
        });
    }
    ~Watchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
    std::thread m_thread;
};

bool hasKind(const std::vector<MediaTrack>& tracks, MediaTrack::Kind kind) {
    return std::any_of(tracks.begin(), tracks.end(),
                       [&](const MediaTrack& t) { return t.kind == kind; });
}

class PlayerStreaming : public ::testing::Test {
protected:
    void SetUp() override { test::ensureQtApp(); }

    void TearDown() override {
        model.reset();
        renderer.reset();
        rig.reset();
    }

    void startRig(int uploadLimit = 2 << 20, std::function<void(Json&)> settings = {}) {
        rig = std::make_unique<playback::PlayerRig>(
            dir.path(), playback::PlayerRig::Options{uploadLimit, settings});
    }

    void startModel() {
        model = std::make_unique<PlayerModel>(rig->engine());
        auto core = model->ensureCore();
        ASSERT_TRUE(core);
        renderer = playback::SoftwareRenderer::attach(*core);
        ASSERT_TRUE(renderer);
    }

    // Opens and waits until the open has finished its file-list fetch.
    void open(const std::string& id, const TorrentFile& file) {
        bool done = false;
        model->open(id, file, [&] { done = true; });
        ASSERT_TRUE(test::waitUntil([&] { return done; }));
    }

    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 30s) {
        return test::waitUntil(condition, timeout);
    }

    std::string failure() const {
        return "error: " + model->error().value_or("none") +
               ", loaded: " + std::to_string(model->loaded()) +
               ", position: " + std::to_string(model->position());
    }

    double streamProgress(const std::string& id, const TorrentFile& file) {
        return tb_stream_progress(rig->engine().session(), id.c_str(), static_cast<int>(file.i));
    }

    std::string pieces(const std::string& id, const TorrentFile& file) {
        auto out = std::make_shared<std::optional<std::string>>();
        rig->engine().pieces(id, static_cast<int>(file.i),
                             [out](std::string map) { *out = std::move(map); });
        test::waitUntil([&] { return out->has_value(); });
        return out->value_or("");
    }

    fs::path seed() const { return dir / "seed"; }

    test::TempDir dir;
    std::unique_ptr<playback::PlayerRig> rig;
    std::shared_ptr<playback::SoftwareRenderer> renderer;
    std::unique_ptr<PlayerModel> model;
};

class PlayerStreamingContainer : public PlayerStreaming,
                                 public ::testing::WithParamInterface<std::string> {};

} // namespace

// A clip not yet downloaded, from a seeder sending 2 MiB/s: it loads, plays
// past 2 s, and a seek into a stretch still missing resumes there. The MP4
// keeps its index at the end of the file.
TEST_P(PlayerStreamingContainer, PlaysAndSeeksWhileDownloading) {
    std::string name = "Clip." + GetParam();
    playback::ClipOptions clip;
    clip.seconds = 75; // about 25 MB: some 12 s of downloading
    ASSERT_TRUE(playback::makeVideo(seed() / "Clip" / name, clip));
    auto torrent = playback::MediaTorrent::create(seed(), "Clip");
    startRig();
    std::string id = rig->add(torrent);
    TorrentFile file = rig->file(id, name);
    startModel();

    open(id, file);
    ASSERT_TRUE(model->item());
    EXPECT_EQ(model->item()->file, file);
    ASSERT_TRUE(waitFor([&] { return model->loaded(); })) << failure();
    EXPECT_TRUE(hasKind(model->tracks(), MediaTrack::Kind::video));
    EXPECT_TRUE(hasKind(model->tracks(), MediaTrack::Kind::audio));
    EXPECT_TRUE(model->tracksReadyAfter());
    ASSERT_TRUE(waitFor([&] { return model->position() > 2.0; })) << failure();
    EXPECT_TRUE(model->firstFrameAfter());
    EXPECT_TRUE(model->hasVideo());
    EXPECT_GT(model->duration(), 74.0);
    EXPECT_GT(renderer->frames(), 10u);
    EXPECT_TRUE(waitFor([&] { return !model->downloadedRanges().empty(); }, 5s));

    // A missing piece in the second half of the file, at least 10 s ahead.
    std::string map = pieces(id, file);
    ASSERT_FALSE(map.empty());
    double duration = model->duration();
    double target = 0;
    for (size_t i = map.size() / 2; i + 2 < map.size(); ++i) {
        double at = duration * static_cast<double>(i) / static_cast<double>(map.size());
        if (map[i] != '1' && at > model->position() + 10 && at < duration - 6) {
            target = at + 0.5;
            break;
        }
    }
    ASSERT_GT(target, 0) << "everything was downloaded already: " << map;
    model->seek(target);
    EXPECT_DOUBLE_EQ(model->position(), target);
    auto framesAtSeek = renderer->frames();
    ASSERT_TRUE(waitFor([&] {
        return model->position() > target + 1.0 && !model->waitingAfterSeek() && !model->seeking();
    })) << failure();
    EXPECT_GT(renderer->frames(), framesAtSeek);
    EXPECT_FALSE(model->error());
}

INSTANTIATE_TEST_SUITE_P(Containers, PlayerStreamingContainer, ::testing::Values("mkv", "mp4"));

// While a read waits for a piece, a seek reopens the file at the target
// instead of queueing behind that read, and playback resumes there.
TEST_F(PlayerStreaming, SeekWhileAReadWaitsReloadsAtTheTarget) {
    playback::ClipOptions clip;
    clip.seconds = 40;
    ASSERT_TRUE(playback::makeVideo(seed() / "Slow" / "Slow.mkv", clip));
    auto torrent = playback::MediaTorrent::create(seed(), "Slow");
    startRig();
    std::string id = rig->add(torrent);
    TorrentFile file = rig->file(id, "Slow.mkv");
    startModel();
    int loads = 0;
    model->core()->setOnEvent([&](const MPVEvent& e) {
        loads += e.as<MPVEvent::FileLoaded>() != nullptr;
        model->handle(e);
    });

    open(id, file);
    ASSERT_TRUE(waitFor([&] { return model->loaded() && model->position() > 0.5; })) << failure();
    rig->seeder().setUploadLimit(2048);
    ASSERT_TRUE(waitFor([&] { return model->streamBlocked(); }, 20s)) << failure();

    std::string map = pieces(id, file);
    double duration = model->duration();
    double target = 0;
    for (size_t i = 0; i < map.size(); ++i) {
        double at = duration * static_cast<double>(i) / static_cast<double>(map.size());
        if (map[i] != '1' && at > model->position() + 15 && at < duration - 6) {
            target = at + 0.5;
            break;
        }
    }
    ASSERT_GT(target, 0) << map;
    model->seek(target);
    EXPECT_TRUE(model->waitingAfterSeek());
    ASSERT_TRUE(waitFor([&] { return loads == 2; }, 10s)) << failure();
    rig->seeder().setUploadLimit(8 << 20);
    ASSERT_TRUE(waitFor([&] {
        return model->position() > target + 1.0 && !model->waitingAfterSeek();
    })) << failure();
    EXPECT_EQ(loads, 2);
    EXPECT_FALSE(model->error());
}

// With nobody to send the file every read blocks: stopping still ends the
// read at once, and so does destroying the core while a read waits.
TEST_F(PlayerStreaming, StopAndTeardownEndABlockedRead) {
    playback::ClipOptions clip;
    clip.seconds = 5;
    clip.noise = false;
    ASSERT_TRUE(playback::makeVideo(seed() / "Stuck" / "Stuck.mkv", clip));
    auto torrent = playback::MediaTorrent::create(seed(), "Stuck");
    startRig();
    std::string id = rig->add(torrent, std::nullopt, /*connect*/ false);
    TorrentFile file = rig->file(id, "Stuck.mkv");
    startModel();

    open(id, file);
    ASSERT_TRUE(waitFor([&] { return streamProgress(id, file) >= 0; }, 20s));
    EXPECT_FALSE(model->loaded());
    {
        Watchdog watchdog(20s, "stop with a blocked read");
        model->stop();
        EXPECT_FALSE(model->item());
        ASSERT_TRUE(waitFor([&] { return streamProgress(id, file) < 0; }, 10s));
    }

    open(id, file);
    ASSERT_TRUE(waitFor([&] { return streamProgress(id, file) >= 0; }, 20s));
    {
        Watchdog watchdog(20s, "core teardown with a blocked read");
        model.reset();
    }
    EXPECT_LT(streamProgress(id, file), 0);
}

// The resume position goes to "torrents.json" and the next open starts
// there; the next episode becomes wanted near the end of this one; early
// ends are resumed, and the real end opens the next episode.
TEST_F(PlayerStreaming, ResumePositionNextEpisodeAndEnd) {
    playback::ClipOptions clip;
    clip.seconds = 150;
    clip.noise = false;
    clip.width = 160;
    clip.height = 120;
    clip.fps = 10;
    ASSERT_TRUE(playback::makeVideo(seed() / "Show" / "Show.S01E01.mkv", clip));
    ASSERT_TRUE(playback::makeVideo(seed() / "Show" / "Show.S01E02.mkv", clip));
    auto torrent = playback::MediaTorrent::create(seed(), "Show");
    startRig(8 << 20);
    std::string id = rig->add(torrent);
    TorrentFile e01 = rig->file(id, "S01E01.mkv");
    TorrentFile e02 = rig->file(id, "S01E02.mkv");
    rig->engine().setPriority(id, {static_cast<int>(e02.i)}, FilePriority::skip);
    ASSERT_TRUE(waitFor([&] { return rig->file(id, "S01E02.mkv").prio == 0; }, 10s));
    startModel();

    open(id, e01);
    ASSERT_TRUE(waitFor([&] { return model->loaded() && model->duration() > 0; })) << failure();
    // Less than 300 s are left of this episode: the next one is wanted again.
    ASSERT_TRUE(waitFor([&] { return rig->file(id, "S01E02.mkv").prio == 4; }, 10s));
    EXPECT_EQ(rig->engine().meta().at(id).lastPlayedFile, e01.i);

    model->seek(45);
    ASSERT_TRUE(waitFor([&] { return model->position() > 46 && !model->waitingAfterSeek(); }))
        << failure();
    model->stop();
    double stored = rig->engine().meta().at(id).positions.at(e01.i);
    EXPECT_GT(stored, 45);
    fs::path saved = dir / "home" / Storage::kTorrentsFile;
    ASSERT_TRUE(waitFor(
        [&] {
            auto meta = Storage::loadMeta(saved);
            return meta.contains(id) && meta.at(id).positions.contains(e01.i);
        },
        10s));
    EXPECT_DOUBLE_EQ(Storage::loadMeta(saved).at(id).positions.at(e01.i), stored);

    open(id, e01);
    EXPECT_DOUBLE_EQ(model->position(), stored);
    ASSERT_TRUE(waitFor([&] { return model->loaded(); })) << failure();
    // mpv itself starts there: frames come while the position stays past it.
    auto frames = renderer->frames();
    ASSERT_TRUE(waitFor([&] { return renderer->frames() > frames + 10; }));
    EXPECT_GE(model->position(), std::floor(stored));

    // An end reported far before the duration is resumed, five times at most.
    model->seek(60);
    for (int i = 0; i < 5; ++i) {
        model->handle(MPVEvent::Property{"eof-reached", MPVValue::flag(true)});
        EXPECT_FALSE(model->ended());
    }
    model->handle(MPVEvent::Property{"eof-reached", MPVValue::flag(true)});
    EXPECT_TRUE(model->ended());
    EXPECT_FALSE(rig->engine().meta().at(id).positions.contains(e01.i));
    ASSERT_TRUE(waitFor([&] { return model->item() && model->item()->file.i == e02.i; }))
        << failure();
}

// An external Russian audio file and subtitle file beside a video whose own
// audio has no language: the automatic choice as the settings say, and a
// remembered choice over it.
TEST_F(PlayerStreaming, AutomaticTrackChoice) {
    playback::ClipOptions clip;
    clip.seconds = 20;
    clip.noise = false;
    clip.audioTitle = "Original";
    ASSERT_TRUE(playback::makeVideo(seed() / "Film" / "Film.mkv", clip));
    ASSERT_TRUE(playback::makeAudio(seed() / "Film" / "Film.rus.mka", 20, "rus"));
    ASSERT_TRUE(playback::makeSubtitles(seed() / "Film" / "Film.rus.srt", 20, "Субтитры"));
    auto torrent = playback::MediaTorrent::create(seed(), "Film");
    startRig(8 << 20);
    std::string id = rig->add(torrent);
    TorrentFile film = rig->file(id, "Film.mkv");
    TorrentFile audioFile = rig->file(id, "Film.rus.mka");
    TorrentFile subtitleFile = rig->file(id, "Film.rus.srt");
    std::string audioURL = streamURL(id, audioFile.i);
    std::string subtitleURL = streamURL(id, subtitleFile.i);
    startModel();

    auto selected = [&](MediaTrack::Kind kind) -> std::optional<MediaTrack> {
        for (const auto& t : model->tracks())
            if (t.kind == kind && t.selected)
                return t;
        return std::nullopt;
    };
    auto attached = [&](const std::string& url) {
        return std::any_of(model->tracks().begin(), model->tracks().end(),
                           [&](const MediaTrack& t) { return t.externalFile == url; });
    };
    auto setMode = [&](SubtitleMode mode) {
        AppSettings s = rig->engine().settings();
        s.subtitleMode = mode;
        rig->engine().setSettings(s);
    };

    // Auto: the video's audio has no language, so the Russian file is
    // attached; Russian audio then wants forced subtitles only: none.
    open(id, film);
    EXPECT_EQ(model->externalAudio().size(), 1u);
    EXPECT_EQ(model->externalSubtitles().size(), 1u);
    ASSERT_TRUE(waitFor([&] {
        auto audio = selected(MediaTrack::Kind::audio);
        return audio && audio->externalFile == audioURL;
    })) << failure();
    test::spinFor(300ms);
    EXPECT_FALSE(selected(MediaTrack::Kind::sub));
    EXPECT_FALSE(attached(subtitleURL));
    auto options = model->audioOptions();
    ASSERT_EQ(options.size(), 2u); // the embedded track and the attached file, no "x" entry
    EXPECT_EQ(options[0].label, "Original");
    EXPECT_TRUE(options[1].selected);
    EXPECT_EQ(model->subtitleOptions().front().id, "off");
    EXPECT_TRUE(model->subtitleOptions().front().selected);
    EXPECT_EQ(model->subtitleOptions().back().id, "x" + std::to_string(subtitleFile.i));

    // Always: the subtitle file comes along.
    setMode(SubtitleMode::always);
    open(id, film);
    ASSERT_TRUE(waitFor([&] {
        auto sub = selected(MediaTrack::Kind::sub);
        auto audio = selected(MediaTrack::Kind::audio);
        return sub && sub->externalFile == subtitleURL && audio && audio->externalFile == audioURL;
    })) << failure();
    // S cycles from the last entry back to off, then on to the subtitle again.
    model->cycle(false);
    ASSERT_TRUE(waitFor([&] { return !selected(MediaTrack::Kind::sub); }, 10s));
    EXPECT_TRUE(model->subtitleOptions().front().selected);
    model->cycle(false);
    ASSERT_TRUE(waitFor([&] { return selected(MediaTrack::Kind::sub).has_value(); }, 10s));

    // The user takes the video's own audio and keeps the subtitle file; with
    // subtitles set to never, the remembered choice still wins next time.
    auto own = std::find_if(options.begin(), options.end(),
                            [](const TrackOption& o) { return o.label == "Original"; });
    ASSERT_NE(own, options.end());
    model->select(*own, true);
    auto subtitleOption = model->subtitleOptions();
    auto attachedSubtitle =
        std::find_if(subtitleOption.begin(), subtitleOption.end(),
                     [](const TrackOption& o) { return o.selected && o.id != "off"; });
    ASSERT_NE(attachedSubtitle, subtitleOption.end());
    model->select(*attachedSubtitle, false);
    const TorrentMeta& meta = rig->engine().meta().at(id);
    ASSERT_TRUE(meta.audio && meta.subtitle);
    EXPECT_EQ(meta.audio->title, "Original");
    EXPECT_FALSE(meta.audio->externalName);
    EXPECT_EQ(meta.subtitle->externalName, model->externalSubtitles().front().title);

    setMode(SubtitleMode::never);
    open(id, film);
    ASSERT_TRUE(waitFor([&] {
        auto audio = selected(MediaTrack::Kind::audio);
        auto sub = selected(MediaTrack::Kind::sub);
        return audio && !audio->external && audio->title == "Original" && sub &&
               sub->externalFile == subtitleURL;
    })) << failure();
    test::spinFor(300ms);
    EXPECT_FALSE(attached(audioURL));
}

// A bad URL, a torrent the engine does not hold, a truncated file and a
// torrent whose files went missing all end in the error state.
TEST_F(PlayerStreaming, FailuresEndInTheErrorState) {
    playback::ClipOptions clip;
    clip.seconds = 10;
    ASSERT_TRUE(playback::makeVideo(seed() / "Broken" / "Broken.mp4", clip));
    ASSERT_TRUE(playback::truncateFile(seed() / "Broken" / "Broken.mp4",
                                       fs::file_size(seed() / "Broken" / "Broken.mp4") * 2 / 5));
    clip.seconds = 3;
    clip.noise = false;
    ASSERT_TRUE(playback::makeVideo(seed() / "Gone" / "Gone.mkv", clip));
    startRig(8 << 20);
    std::string broken = rig->add(playback::MediaTorrent::create(seed(), "Broken"));
    std::string gone = rig->add(playback::MediaTorrent::create(seed(), "Gone"));
    startModel();

    // The small torrent completes, then its file disappears from the disk.
    ASSERT_TRUE(waitFor([&] {
        auto t = rig->engine().torrent(gone);
        return t && t->finished;
    }));
    TorrentFile goneFile = rig->file(gone, "Gone.mkv");
    fs::remove(rig->downloads() / goneFile.path);
    ASSERT_TRUE(waitFor([&] {
        auto t = rig->engine().torrent(gone);
        return t && t->state == "missing";
    }));

    struct Case {
        const char* what;
        std::string id;
        TorrentFile file;
        std::string expected; // a prefix of the error
    };
    TorrentFile unknown;
    unknown.i = 0;
    unknown.path = "Clip/Clip.mkv";
    const Case cases[] = {
        {"bad URL", "ab/cd", unknown, "Не удалось открыть файл ("},
        {"unknown torrent", std::string(40, 'f'), unknown, "Не удалось открыть файл ("},
        {"truncated file", broken, rig->file(broken, "Broken.mp4"), "Не удалось открыть файл ("},
        {"missing files", gone, goneFile, rig->engine().torrent(gone)->error},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        model->stop();
        ASSERT_FALSE(model->error() && model->item());
        open(c.id, c.file);
        ASSERT_TRUE(waitFor([&] { return model->error().has_value(); })) << failure();
        EXPECT_TRUE(model->error()->starts_with(c.expected)) << *model->error();
        EXPECT_FALSE(model->loaded());
    }
}

// mpv refusing "loadfile" sends no end-of-file event; the refusal itself
// must end the wait on the opening screen.
TEST_F(PlayerStreaming, RefusedLoadEndsInTheErrorState) {
    playback::ClipOptions clip;
    clip.seconds = 3;
    clip.noise = false;
    ASSERT_TRUE(playback::makeVideo(seed() / "Short" / "Short.mkv", clip));
    startRig();
    std::string id = rig->add(playback::MediaTorrent::create(seed(), "Short"));
    TorrentFile file = rig->file(id, "Short.mkv");
    startModel();

    std::optional<std::uint64_t> load;
    model->open(id, file, [&] {
        load = model->pendingLoad();
        // Before the event loop can deliver mpv's own answer.
        if (load)
            model->handle(MPVEvent::CommandReply{*load, MPV_ERROR_INVALID_PARAMETER});
    });
    ASSERT_TRUE(waitFor([&] { return load.has_value(); }));
    EXPECT_EQ(model->error(), "Не удалось открыть файл (invalid parameter)");
    EXPECT_FALSE(model->pendingLoad());
}

// Volume, seeking, pause, mute and the keys act through the core and come
// back as the core reports them; the engine hears whether playback runs.
TEST_F(PlayerStreaming, ControlsActThroughTheCore) {
    playback::ClipOptions clip;
    clip.seconds = 20;
    clip.noise = false;
    ASSERT_TRUE(playback::makeVideo(seed() / "Pair" / "Pair.S01E01.mkv", clip));
    ASSERT_TRUE(playback::makeVideo(seed() / "Pair" / "Pair.S01E02.mkv", clip));
    startRig(8 << 20);
    std::string id = rig->add(playback::MediaTorrent::create(seed(), "Pair"));
    TorrentFile e01 = rig->file(id, "S01E01.mkv");
    TorrentFile e02 = rig->file(id, "S01E02.mkv");
    startModel();

    // A stop while an open waits for its file list wins over that open.
    bool superseded = false;
    model->open(id, e02, [&] { superseded = true; });
    model->stop();
    ASSERT_TRUE(waitFor([&] { return superseded; }));
    EXPECT_FALSE(model->item());

    open(id, e01);
    ASSERT_TRUE(waitFor([&] { return model->loaded() && model->position() > 0.5; })) << failure();
    EXPECT_TRUE(rig->engine().checkingPlaybackActive());
    ASSERT_TRUE(model->nextFile());
    EXPECT_EQ(model->nextFile()->i, e02.i);
    EXPECT_FALSE(model->previousFile());

    for (auto [asked, expected] : {std::pair{250.0, 200.0}, {57.9, 57.0}, {-4.0, 0.0}}) {
        model->setVolume(asked);
        EXPECT_TRUE(waitFor([&, expected = expected] { return model->volume() == expected; }, 5s))
            << asked;
    }
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    EXPECT_TRUE(model->handleKey(up));
    EXPECT_TRUE(waitFor([&] { return model->volume() == 5.0; }, 5s));
    QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    EXPECT_TRUE(model->handleScroll(wheel));
    EXPECT_TRUE(waitFor([&] { return model->volume() == 10.0; }, 5s));
    QWheelEvent sideways(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(120, 60), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
    EXPECT_FALSE(model->handleScroll(sideways));
    QWheelEvent shifted(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, 120), Qt::NoButton,
                        Qt::ShiftModifier, Qt::NoScrollPhase, false);
    EXPECT_FALSE(model->handleScroll(shifted));

    model->seek(-3);
    EXPECT_EQ(model->position(), 0);
    model->seek(500);
    EXPECT_EQ(model->position(), model->duration() - 1);

    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    EXPECT_TRUE(model->handleKey(space));
    ASSERT_TRUE(waitFor([&] { return model->paused(); }, 5s));
    EXPECT_FALSE(rig->engine().checkingPlaybackActive());
    EXPECT_TRUE(model->controlsVisible());
    EXPECT_TRUE(model->handleKey(space));
    ASSERT_TRUE(waitFor([&] { return !model->paused(); }, 5s));
    EXPECT_TRUE(rig->engine().checkingPlaybackActive());

    QKeyEvent mute(QEvent::KeyPress, Qt::Key_M, Qt::NoModifier);
    EXPECT_TRUE(model->handleKey(mute));
    EXPECT_TRUE(waitFor([&] { return model->muted(); }, 5s));
    // The same physical key on a Russian layout.
    QKeyEvent muteRussian(QEvent::KeyPress, 0x042C, Qt::NoModifier);
    EXPECT_TRUE(model->handleKey(muteRussian));
    EXPECT_TRUE(waitFor([&] { return !model->muted(); }, 5s));

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(model->handleKey(escape)); // no window in full screen
    QKeyEvent f(QEvent::KeyPress, Qt::Key_F, Qt::NoModifier);
    EXPECT_TRUE(model->handleKey(f));
    QKeyEvent other(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier);
    EXPECT_FALSE(model->handleKey(other));

    model->stop();
    EXPECT_FALSE(model->item());
    EXPECT_FALSE(model->loaded());
    EXPECT_FALSE(rig->engine().checkingPlaybackActive());
}

// Stream progress and prefetch wait on the library (prefetch on a skipped
// file up to a second): they run on the engine's stream queue, so while that
// queue is stuck the main thread keeps serving timers, and the prefetch of
// the unplayed audio file lands once the queue moves again.
TEST_F(PlayerStreaming, MainThreadKeepsAnsweringWhileStreamCallsWait) {
    playback::ClipOptions clip;
    clip.seconds = 30;
    clip.noise = false;
    clip.audioLanguage = "rus";
    ASSERT_TRUE(playback::makeVideo(seed() / "Film" / "Film.mkv", clip));
    ASSERT_TRUE(playback::makeAudio(seed() / "Film" / "Film.eng.mka", 30, "eng"));
    auto torrent = playback::MediaTorrent::create(seed(), "Film");
    startRig(8 << 20);
    std::string id = rig->add(torrent, std::vector<int>{0, 4});
    TorrentFile film = rig->file(id, "Film.mkv");
    TorrentFile audioFile = rig->file(id, "Film.eng.mka");
    ASSERT_EQ(audioFile.prio, 0);
    startModel();
    open(id, film);
    ASSERT_TRUE(waitFor([&] { return model->loaded() && model->duration() > 0; })) << failure();

    // Hold the stream queue for 2.5 s, as a slow library call would.
    std::atomic<bool> release{false};
    rig->engine().streamQuery<int>(
        [&](tb_session*) {
            test::waitUntil([&] { return release.load(); }, 10s);
            return 0;
        },
        [](int) {});

    QTimer ticker;
    ticker.setInterval(20);
    int ticks = 0;
    auto last = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration worst{};
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        auto now = std::chrono::steady_clock::now();
        worst = std::max(worst, now - last);
        last = now;
        ++ticks;
    });
    ticker.start();
    auto heldFrom = std::chrono::steady_clock::now();
    waitFor([] { return false; }, 2500ms);
    release = true;
    ticker.stop();
    EXPECT_GE(std::chrono::steady_clock::now() - heldFrom, 2500ms);
    EXPECT_GT(ticks, 20);
    // Generous: the point is no wait on the stuck queue, not the timer's precision.
    EXPECT_LT(worst, 700ms) << "longest gap between timer firings";
    EXPECT_FALSE(model->streamBlocked());

    ASSERT_TRUE(waitFor([&] { return rig->file(id, "Film.eng.mka").prio != 0; }, 15s))
        << "the audio prefetch never ran";
    EXPECT_FALSE(model->error());
}

// Quick resume after a stall. Reloads are coalesced: two asked 0.1 s apart
// give one "loadfile". The reload state belongs to one file: a track choice
// still pending when another file opens never reaches that file's reloads. An
// end reported before the file has loaded ends nothing.
TEST_F(PlayerStreaming, ReloadStateBelongsToOneFile) {
    playback::ClipOptions clip;
    clip.seconds = 20;
    clip.noise = false;
    ASSERT_TRUE(playback::makeVideo(seed() / "Two" / "Two.S01E01.mkv", clip));
    ASSERT_TRUE(playback::makeVideo(seed() / "Two" / "Two.S01E02.mkv", clip));
    startRig(8 << 20);
    std::string id = rig->add(playback::MediaTorrent::create(seed(), "Two"));
    TorrentFile e01 = rig->file(id, "S01E01.mkv");
    TorrentFile e02 = rig->file(id, "S01E02.mkv");
    ASSERT_TRUE(waitFor([&] {
        auto t = rig->engine().torrent(id);
        return t && t->finished;
    }));
    startModel();
    int loads = 0;
    model->core()->setOnEvent([&](const MPVEvent& e) {
        loads += e.as<MPVEvent::FileLoaded>() != nullptr;
        model->handle(e);
    });
    auto audioSelected = [&] {
        return std::any_of(model->tracks().begin(), model->tracks().end(), [](const MediaTrack& t) {
            return t.kind == MediaTrack::Kind::audio && t.selected;
        });
    };

    open(id, e01);
    ASSERT_TRUE(waitFor([&] { return loads == 1 && model->position() > 0.5; })) << failure();

    // Quick resume: after a track change a stall ends on 0.3 s of data; the
    // end of the stall brings back the usual wait.
    auto cacheWait = [&] {
        char* text = mpv_get_property_string(model->core()->handle(), "cache-pause-wait");
        const double value = text ? std::atof(text) : -1;
        mpv_free(text);
        return value;
    };
    auto audio = model->audioOptions();
    ASSERT_FALSE(audio.empty());
    model->select(audio.front(), true);
    ASSERT_TRUE(waitFor([&] { return cacheWait() == 0.3; }, 5s)) << cacheWait();
    model->handle(MPVEvent::Property{"paused-for-cache", MPVValue::flag(true)});
    EXPECT_EQ(cacheWait(), 0.3);
    model->handle(MPVEvent::Property{"paused-for-cache", MPVValue::flag(false)});
    ASSERT_TRUE(waitFor([&] { return cacheWait() == 6; }, 5s)) << cacheWait();

    model->reload(4, std::nullopt, std::nullopt);
    test::spinFor(100ms);
    model->reload(6, std::nullopt, std::nullopt);
    ASSERT_TRUE(waitFor([&] { return loads == 2 && model->position() >= 6; })) << failure();
    test::spinFor(1000ms);
    EXPECT_EQ(loads, 2);

    // A choice of tracks this file does not have, pending as the next opens.
    model->reload(8, "9", "9");
    open(id, e02);
    ASSERT_TRUE(waitFor([&] { return loads == 3 && audioSelected(); })) << failure();
    model->reload(3, std::nullopt, std::nullopt);
    ASSERT_TRUE(waitFor([&] { return loads == 4 && model->position() >= 3; })) << failure();
    ASSERT_TRUE(waitFor([&] { return audioSelected(); }, 5s)) << "the stale track choice won";

    // The end reported while the next open is still loading ends nothing.
    model->stop();
    open(id, e01);
    ASSERT_FALSE(model->loaded());
    model->handle(MPVEvent::Property{"eof-reached", MPVValue::flag(true)});
    EXPECT_FALSE(model->ended());
    ASSERT_TRUE(waitFor([&] { return model->loaded(); })) << failure();
    EXPECT_FALSE(model->ended());
    EXPECT_EQ(model->item()->file.i, e01.i);
}

// The automatic choice on one file with several tagged tracks: audio English,
// "RUS" (mpv's own pick by its default flag), and two Russian ones; subtitles
// Russian forced, Russian full and English.
TEST_F(PlayerStreaming, AutomaticTrackChoiceTable) {
    const fs::path folder = seed() / "Tagged";
    fs::create_directories(folder);
    ASSERT_TRUE(playback::makeSubtitles(dir / "lines.srt", 10, "Текст"));
    const std::string lines = (dir / "lines.srt").string();
    std::vector<std::string> args = {"-f", "lavfi", "-i",
                                     "testsrc=size=160x120:rate=10:duration=10"};
    for (const char* tone :
         {"sine=f=300:d=10", "sine=f=400:d=10", "sine=f=500:d=10", "sine=f=600:d=10"})
        args.insert(args.end(), {"-f", "lavfi", "-i", tone});
    for (int i = 0; i < 3; ++i)
        args.insert(args.end(), {"-i", lines});
    args.insert(args.end(), {"-map", "0:v",     "-map", "1:a", "-map", "2:a", "-map", "3:a",
                             "-map", "4:a",     "-map", "5:s", "-map", "6:s", "-map", "7:s",
                             "-c:v", "libx264", "-c:a", "aac", "-c:s", "srt"});
    const std::vector<std::array<const char*, 3>> tags = {
        {"a:0", "eng", "English"},   {"a:1", "RUS", "Дубляж"},  {"a:2", "rus", "Многоголосый"},
        {"a:3", "rus", "Авторский"}, {"s:0", "rus", "Надписи"}, {"s:1", "rus", "Полные"},
        {"s:2", "eng", "English"}};
    for (const auto& [stream, language, title] : tags) {
        args.insert(args.end(),
                    {std::string("-metadata:s:") + stream, std::string("language=") + language,
                     std::string("-metadata:s:") + stream, std::string("title=") + title,
                     std::string("-disposition:") + stream, "0"});
    }
    args.insert(args.end(), {"-disposition:a:1", "default", "-disposition:s:0", "forced",
                             (folder / "Tagged.mkv").string()});
    ASSERT_TRUE(test::ffmpeg(args));
    startRig(8 << 20);
    std::string id = rig->add(playback::MediaTorrent::create(seed(), "Tagged"));
    TorrentFile film = rig->file(id, "Tagged.mkv");

    auto selectedTitle = [&](MediaTrack::Kind kind) -> std::string {
        for (const auto& t : model->tracks())
            if (t.kind == kind && t.selected)
                return t.title.value_or("?");
        return "-";
    };
    using Choice = TorrentMeta::TrackChoice;
    struct Case {
        const char* what;
        const char* audioLanguages;
        const char* subtitleLanguages;
        SubtitleMode mode;
        bool remember;
        std::optional<Choice> audio, subtitle;
        const char* expectedAudio;
        const char* expectedSubtitle; // "-" for none
    };
    const Choice authors{"rus", "Авторский", std::nullopt, false};
    const Choice full{"rus", "Полные", std::nullopt, false};
    const Case cases[] = {
        {"mpv's pick in capitals is kept; forced only", "rus, ru", "rus, ru",
         SubtitleMode::autoMode, true, std::nullopt, std::nullopt, "Дубляж", "Надписи"},
        {"the preferred track over mpv's pick", "eng", "eng", SubtitleMode::always, true,
         std::nullopt, std::nullopt, "English", "English"},
        {"no audio preference: full subtitles", "", "rus", SubtitleMode::autoMode, true,
         std::nullopt, std::nullopt, "Дубляж", "Полные"},
        {"never", "rus", "rus", SubtitleMode::never, true, std::nullopt, std::nullopt, "Дубляж",
         "-"},
        {"remembered: title first", "rus", "rus", SubtitleMode::never, true, authors, full,
         "Авторский", "Полные"},
        {"remembering turned off", "rus", "rus", SubtitleMode::never, false, authors, full,
         "Дубляж", "-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AppSettings s = rig->engine().settings();
        s.audioLanguages = c.audioLanguages;
        s.subtitleLanguages = c.subtitleLanguages;
        s.subtitleMode = c.mode;
        s.rememberTracks = c.remember;
        rig->engine().setSettings(s);
        rig->engine().updateMeta(id, [&](TorrentMeta& m) {
            m.audio = c.audio;
            m.subtitle = c.subtitle;
        });
        // One core for every case: the last case's tracks must not carry over.
        if (!model)
            startModel();
        else
            model->stop();
        open(id, film);
        const bool chosen = waitFor(
            [&] {
                return model->loaded() &&
                       selectedTitle(MediaTrack::Kind::audio) == c.expectedAudio &&
                       selectedTitle(MediaTrack::Kind::sub) == c.expectedSubtitle;
            },
            15s);
        EXPECT_TRUE(chosen) << selectedTitle(MediaTrack::Kind::audio) << " / "
                            << selectedTitle(MediaTrack::Kind::sub) << "; " << failure();
        // Nothing changes afterwards.
        test::spinFor(300ms);
        EXPECT_EQ(selectedTitle(MediaTrack::Kind::audio), c.expectedAudio);
        EXPECT_EQ(selectedTitle(MediaTrack::Kind::sub), c.expectedSubtitle);
    }
}

// Audio without a language in auto mode: with one audio track only forced
// subtitles show, with two the full ones do.
TEST_F(PlayerStreaming, AutoSubtitlesFollowTheCountOfUntaggedAudioTracks) {
    ASSERT_TRUE(playback::makeSubtitles(dir / "lines.srt", 10, "Текст"));
    const std::string lines = (dir / "lines.srt").string();
    auto make = [&](const fs::path& out, int audioTracks) {
        std::vector<std::string> args = {"-f", "lavfi", "-i",
                                         "testsrc=size=160x120:rate=10:duration=10"};
        for (int i = 0; i < audioTracks; ++i)
            args.insert(args.end(), {"-f", "lavfi", "-i", "sine=d=10"});
        args.insert(args.end(), {"-i", lines, "-i", lines, "-map", "0:v"});
        for (int i = 0; i < audioTracks; ++i)
            args.insert(args.end(), {"-map", std::to_string(i + 1) + ":a"});
        args.insert(args.end(), {"-map",
                                 std::to_string(audioTracks + 1) + ":s",
                                 "-map",
                                 std::to_string(audioTracks + 2) + ":s",
                                 "-c:v",
                                 "libx264",
                                 "-c:a",
                                 "aac",
                                 "-c:s",
                                 "srt",
                                 "-metadata:s:s:0",
                                 "language=rus",
                                 "-metadata:s:s:0",
                                 "title=Надписи",
                                 "-disposition:s:0",
                                 "forced",
                                 "-metadata:s:s:1",
                                 "language=rus",
                                 "-metadata:s:s:1",
                                 "title=Полные",
                                 "-disposition:s:1",
                                 "0",
                                 out.string()});
        return test::ffmpeg(args);
    };
    fs::create_directories(seed() / "Plain");
    ASSERT_TRUE(make(seed() / "Plain" / "Plain.S01E01.mkv", 1));
    ASSERT_TRUE(make(seed() / "Plain" / "Plain.S01E02.mkv", 2));
    startRig(8 << 20);
    std::string id = rig->add(playback::MediaTorrent::create(seed(), "Plain"));
    AppSettings s = rig->engine().settings();
    s.audioLanguages = "rus";
    s.subtitleLanguages = "rus";
    s.subtitleMode = SubtitleMode::autoMode;
    rig->engine().setSettings(s);

    auto selectedSubtitle = [&] {
        for (const auto& t : model->tracks())
            if (t.kind == MediaTrack::Kind::sub && t.selected)
                return t.title.value_or("?");
        return std::string("-");
    };
    const std::pair<const char*, const char*> cases[] = {{"S01E01.mkv", "Надписи"},
                                                         {"S01E02.mkv", "Полные"}};
    for (const auto& [file, expected] : cases) {
        SCOPED_TRACE(file);
        model.reset();
        renderer.reset();
        startModel();
        open(id, rig->file(id, file));
        EXPECT_TRUE(waitFor([&] { return model->loaded() && selectedSubtitle() == expected; }, 15s))
            << selectedSubtitle() << "; " << failure();
    }
}
