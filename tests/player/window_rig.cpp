#include "tests/player/window_rig.h"

#include "tests/support/playback/clips.h"
#include "tests/support/playback/media_torrent.h"
#include "tests/support/qt_app.h"

namespace tevro::test {

namespace {

std::unique_ptr<WindowRig>& instance() {
    static std::unique_ptr<WindowRig> rig;
    return rig;
}

bool made = false;

} // namespace

WindowRig* windowRig() {
    if (made)
        return instance().get();
    made = true;
    auto r = std::make_unique<WindowRig>();
    auto seed = r->dir / "seed";
    playback::ClipOptions first;
    first.seconds = 150;
    first.width = 640;
    first.height = 360;
    first.noise = false;
    playback::ClipOptions second = first;
    second.seconds = 20;
    playback::ClipOptions wordy;
    wordy.seconds = 20;
    wordy.noise = false;
    wordy.audioLanguage = "rus";
    wordy.audioTitle = r->longAudioTitle =
        "Многоголосый закадровый перевод студии с очень длинным названием";
    const std::string longName = "A.Series.With.A.Rather.Long.Name.For.The.Window.Title.Bar";
    if (!playback::makeVideo(seed / "Show" / "Show.S01E01.mkv", first) ||
        !playback::makeVideo(seed / "Show" / "Show.S01E02.mkv", second) ||
        !playback::makeMultiTrackVideo(seed / "Tracks" / "Tracks.mkv", 60) ||
        !playback::makeVideo(seed / "Long" / (longName + ".S01E01.mkv"), wordy) ||
        !playback::makeVideo(seed / "Long" / (longName + ".S01E02.mkv"), wordy))
        return nullptr;
    auto season = playback::MediaTorrent::create(seed, "Show");
    auto tracks = playback::MediaTorrent::create(seed, "Tracks");
    auto wordySeason = playback::MediaTorrent::create(seed, "Long");
    r->rig = std::make_unique<playback::PlayerRig>(r->dir.path(),
                                                   playback::PlayerRig::Options{4 << 20, {}});
    r->seasonID = r->rig->add(season);
    r->tracksID = r->rig->add(tracks);
    r->firstEpisode = r->rig->file(r->seasonID, "S01E01.mkv");
    r->secondEpisode = r->rig->file(r->seasonID, "S01E02.mkv");
    r->tracks = r->rig->file(r->tracksID, "Tracks.mkv");
    r->longID = r->rig->add(wordySeason);
    r->longEpisode = r->rig->file(r->longID, "S01E01.mkv");
    instance() = std::move(r);
    return instance().get();
}

void dropWindowRig() {
    instance().reset();
}

void PlayerWindowTest::SetUp() {
    shared = windowRig();
    ASSERT_TRUE(shared) << "clips could not be made";
    model = std::make_unique<PlayerModel>(shared->rig->engine());
    window = std::make_unique<PlayerWindow>(*model, shared->rig->engine());
    window->show();
    ASSERT_TRUE(
        waitUntil([&] { return window->videoView() && window->videoView()->hasContext(); }));
}

void PlayerWindowTest::TearDown() {
    if (window)
        window->close();
    window.reset();
    model.reset();
}

void PlayerWindowTest::open(const std::string& id, const TorrentFile& file) {
    bool done = false;
    model->open(id, file, [&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }));
}

bool PlayerWindowTest::playing(double seconds) {
    return waitUntil([&] { return model->position() > seconds && model->loaded(); },
                     std::chrono::seconds(30));
}

std::string PlayerWindowTest::state() const {
    return "error: " + model->error().value_or("none") +
           ", loaded: " + std::to_string(model->loaded()) +
           ", position: " + std::to_string(model->position());
}

} // namespace tevro::test
