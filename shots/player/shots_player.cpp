// The player window drawn through the software video path: playing with the
// controls hidden, with the controls shown, opening from a slow seeder (the
// progress box with the percentage and rate), with an error, and at its least
// size (640 x 360) and a little wider with a long file name and long track
// names.

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QProcess>

#include "tests/support/playback/clips.h"
#include "tests/support/playback/media_torrent.h"
#include "tests/support/playback/player_rig.h"
#include "tests/support/playback/widget_app.h"
#include "tests/support/qt_app.h"
#include "tevro/library/library_style.h"
#include "tevro/player/player_model.h"
#include "tevro/player/player_window.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

bool save(QWidget& window, const QString& folder, const char* name) {
    QString path = QDir(folder).filePath(name);
    bool ok = window.grab().save(path, "PNG");
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

// An episode with a long audio title and an embedded, default subtitle track
// with a long title, so the control bar has long names to fit.
bool makeWordyEpisode(const fs::path& out, const fs::path& work) {
    playback::ClipOptions clip;
    clip.seconds = 30;
    clip.width = 640;
    clip.height = 360;
    clip.noise = false;
    clip.audioLanguage = "rus";
    clip.audioTitle = "Многоголосый закадровый перевод студии с очень длинным названием";
    fs::path video = work / "wordy.mkv";
    fs::path subs = work / "wordy.srt";
    if (!playback::makeVideo(video, clip) || !playback::makeSubtitles(subs, clip.seconds, "Строка"))
        return false;
    fs::create_directories(out.parent_path());
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
                 {"-v", "error", "-y", "-i", QString::fromStdString(video.string()), "-i",
                  QString::fromStdString(subs.string()), "-map", "0", "-map", "1", "-c", "copy",
                  "-c:s", "srt", "-metadata:s:s:0", "language=rus", "-metadata:s:s:0",
                  "title=Полные русские субтитры с надписями и песнями", "-disposition:s:0",
                  "default", QString::fromStdString(out.string())});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: shots_player DIR\n");
        return 2;
    }
    QString out = QString::fromLocal8Bit(argv[1]);
    // The path without OpenGL, which the window's own grab can picture.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TEVRO_SILENT", "1", 1);
    playback::ensureWidgetApp();
    LibraryStyle::apply(*qApp);

    fs::path dir = fs::temp_directory_path() / ("tevro-shots-player-" + std::to_string(getpid()));
    fs::create_directories(dir);
    int status = 0;
    {
        playback::ClipOptions clip;
        clip.seconds = 60;
        clip.width = 1280;
        clip.height = 720;
        clip.fps = 25;
        clip.noise = false;
        if (!playback::makeVideo(dir / "seed" / "Show" / "Show.S01E01.mkv", clip) ||
            !playback::makeVideo(dir / "seed" / "Show" / "Show.S01E02.mkv", clip)) {
            std::fprintf(stderr, "ffmpeg failed\n");
            return 1;
        }
        auto torrent = playback::MediaTorrent::create(dir / "seed", "Show");
        playback::PlayerRig rig(dir / "fast", {});
        std::string id = rig.add(torrent);
        TorrentFile first = rig.file(id, "S01E01.mkv");

        PlayerModel model(rig.engine());
        PlayerWindow window(model, rig.engine());
        window.resize(PlayerWindow::kDefaultSize);
        window.show();
        model.open(id, first);
        if (!test::waitUntil([&] { return model.position() > 3; }, 30s)) {
            std::fprintf(stderr, "no playback: %s\n", model.error().value_or("").c_str());
            return 1;
        }
        model.poke();
        test::spinFor(500ms);
        status |= !save(window, out, "player-controls.png");
        test::waitUntil([&] { return !window.controlsShown(); }, 10s);
        test::spinFor(500ms);
        status |= !save(window, out, "player-playing.png");

        model.open("0000000000000000000000000000000000000000", first);
        test::waitUntil([&] { return model.error().has_value(); }, 20s);
        test::spinFor(300ms);
        status |= !save(window, out, "player-error.png");
        window.close();
    }
    {
        // Long names at the least window size, and a little wider.
        const std::string stem = "The.Extraordinarily.Long.Named.Series.Complete.Collection."
                                 "Directors.Cut.Remastered";
        if (!makeWordyEpisode(dir / "seed" / "Wordy" / (stem + ".S01E01.1080p.mkv"), dir) ||
            !makeWordyEpisode(dir / "seed" / "Wordy" / (stem + ".S01E02.1080p.mkv"), dir)) {
            std::fprintf(stderr, "ffmpeg failed\n");
            return 1;
        }
        auto torrent = playback::MediaTorrent::create(dir / "seed", "Wordy");
        playback::PlayerRig rig(dir / "wordy", {});
        std::string id = rig.add(torrent);
        PlayerModel model(rig.engine());
        PlayerWindow window(model, rig.engine());
        window.resize(640, 360);
        window.show();
        model.open(id, rig.file(id, "S01E01.1080p.mkv"));
        if (!test::waitUntil([&] { return model.position() > 1 && model.loaded(); }, 30s)) {
            std::fprintf(stderr, "no playback: %s\n", model.error().value_or("").c_str());
            return 1;
        }
        // The subtitles on, whether or not the player chose them itself.
        for (const auto& option : model.subtitleOptions())
            if (!option.selected && option.label.find("Полные") != std::string::npos)
                model.select(option, false);
        test::waitUntil([&] { return model.currentSubtitle().has_value(); }, 5s);
        model.togglePause();
        test::waitUntil([&] { return model.paused(); }, 5s);
        test::spinFor(500ms);
        status |= !save(window, out, "player-least-size.png");
        window.resize(720, 405);
        test::spinFor(300ms);
        status |= !save(window, out, "player-720.png");
        window.close();
    }
    {
        // A seeder slower than the clip: the window waits with its progress box.
        playback::PlayerRig slow(dir / "slow", {64 * 1024, {}});
        auto torrent = playback::MediaTorrent::create(dir / "seed", "Show");
        std::string id = slow.add(torrent);
        PlayerModel model(slow.engine());
        PlayerWindow window(model, slow.engine());
        window.show();
        model.open(id, slow.file(id, "S01E02.mkv"));
        test::waitUntil(
            [&] {
                auto t = slow.engine().torrent(id);
                return t && t->downloadRate > 0 && model.bufferProgress().has_value();
            },
            20s);
        test::spinFor(1200ms);
        status |= !save(window, out, "player-buffering.png");
        window.close();
    }
    fs::remove_all(dir);
    return status;
}
