// Video output of the player window: a clip (1080p, 30 fps by default)
// streamed from a loopback seeder plays in the window on a private Xvfb with
// Mesa's software OpenGL, and the figures are taken over a stretch of
// undisturbed playback (the controls hidden, as a viewer sees it).
// scripts/bench render [--seconds N] [--size WxH] [--fps N] [--software]
// The last line is JSON.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include "tests/support/playback/clips.h"
#include "tests/support/playback/media_torrent.h"
#include "tests/support/playback/player_rig.h"
#include "tests/support/playback/widget_app.h"
#include "tests/support/playback/xvfb_display.h"
#include "tests/support/qt_app.h"
#include "tevro/core/json_value.h"
#include "tevro/library/library_style.h"
#include "tevro/player/player_model.h"
#include "tevro/player/player_window.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using namespace tevro;

namespace {

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double threadCpu() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double processCpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](timeval v) { return static_cast<double>(v.tv_sec) + v.tv_usec / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

// Time the main thread spends handling events (everything it does runs
// inside an outermost notify), against the time it waits for them.
class TimedApplication : public QApplication {
public:
    TimedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override {
        if (m_depth++ > 0) {
            bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        Clock::time_point start = Clock::now();
        bool handled = QApplication::notify(receiver, event);
        --m_depth;
        m_busy += Clock::now() - start;
        return handled;
    }
    Clock::duration busy() const { return m_busy; }

private:
    int m_depth = 0;
    Clock::duration m_busy{};
};

std::map<std::string, std::string> coreDiagnostics(PlayerModel& model) {
    std::optional<std::map<std::string, std::string>> out;
    if (auto core = model.core())
        core->diagnostics([&](std::map<std::string, std::string> m) { out = std::move(m); });
    test::waitUntil([&] { return out.has_value(); }, 5s);
    return out.value_or(std::map<std::string, std::string>{});
}

long long number(const std::map<std::string, std::string>& m, const char* key) {
    auto it = m.find(key);
    return it == m.end() ? 0 : std::atoll(it->second.c_str());
}

int fail(const char* what) {
    std::fprintf(stderr, "bench render: %s\n", what);
    Json out = {{"error", what}};
    std::printf("%s\n", out.dump().c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    double length = 20;
    int width = 1920;
    int height = 1080;
    int fps = 30;
    bool software = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            length = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--size") && i + 1 < argc)
            std::sscanf(argv[++i], "%dx%d", &width, &height);
        else if (!std::strcmp(argv[i], "--fps") && i + 1 < argc)
            fps = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--software"))
            software = true;
        else {
            std::fprintf(stderr,
                         "usage: bench_render [--seconds N] [--size WxH] [--fps N] [--software]\n");
            return 2;
        }
    }
    setenv("TEVRO_SILENT", "1", 0);
    std::unique_ptr<playback::XvfbDisplay> display;
    if (software) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    } else {
        display = playback::XvfbDisplay::start();
        if (!display)
            return fail("Xvfb did not start");
    }
    static int appArgc = 1;
    static char appName[] = "bench_render";
    static char* appArgv[] = {appName, nullptr};
    auto* app = new TimedApplication(appArgc, appArgv);
    playback::ensureWidgetApp();
    LibraryStyle::apply(*app);

    std::string pattern = (fs::temp_directory_path() / "tevro-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return fail("no temporary folder");
    fs::path dir = pattern;
    int status = 0;
    {
        playback::ClipOptions clip;
        // Start-up and the controls' fade come before the measured stretch.
        clip.seconds = length + 10;
        clip.width = width;
        clip.height = height;
        clip.fps = fps;
        clip.noise = false;
        if (!playback::makeVideo(dir / "seed" / "Render" / "Render.mkv", clip))
            return fail("ffmpeg failed");
        auto torrent = playback::MediaTorrent::create(dir / "seed", "Render", 1 << 20);
        playback::PlayerRig rig(dir / "run", {0, {}});
        std::string id = rig.add(torrent);
        TorrentFile file = rig.file(id, "Render.mkv");

        PlayerModel model(rig.engine());
        PlayerWindow window(model, rig.engine());
        window.resize(PlayerWindow::kDefaultSize);
        window.show();
        if (!test::waitUntil(
                [&] { return window.videoView() && window.videoView()->framesVisible(); }, 10s))
            return fail("the window never showed its video");
        VideoView* view = window.videoView();
        model.open(id, file);
        if (!test::waitUntil([&] { return model.position() > 1.0; }, 60s))
            return fail("no playback");
        // Let the controls fade out as they do for a viewer.
        test::waitUntil([&] { return !window.controlsShown(); }, 10s);
        test::spinFor(500ms);

        auto diagnosticsBefore = coreDiagnostics(model);
        RenderCounters before = view->counters();
        double positionBefore = model.position();
        double mainBefore = threadCpu();
        double processBefore = processCpu();
        Clock::time_point start = Clock::now();
        Clock::duration busyBefore = app->busy();
        {
            // A plain event loop: the main thread waits in the dispatcher
            // exactly as in the application.
            QEventLoop loop;
            QTimer::singleShot(static_cast<int>(length * 1000), &loop, &QEventLoop::quit);
            loop.exec();
        }
        Clock::duration busyTime = app->busy() - busyBefore;
        double wall = seconds(Clock::now() - start);
        double mainCpu = threadCpu() - mainBefore;
        double processTime = processCpu() - processBefore;
        RenderCounters after = view->counters();
        double played = model.position() - positionBefore;
        auto diagnosticsAfter = coreDiagnostics(model);
        long long mpvDropped = number(diagnosticsAfter, "frame-drop-count") -
                               number(diagnosticsBefore, "frame-drop-count");
        long long decoderDropped = number(diagnosticsAfter, "decoder-frame-drop-count") -
                                   number(diagnosticsBefore, "decoder-frame-drop-count");
        long long drawn = static_cast<long long>(after.rendered - before.rendered);
        long long due = static_cast<long long>(after.due - before.due);
        long long superseded = static_cast<long long>(after.dropped - before.dropped);

        Json out = {
            {"renderer", view->renderer() == VideoView::Renderer::openGL ? "opengl" : "software"},
            {"video",
             std::to_string(width) + "x" + std::to_string(height) + "@" + std::to_string(fps)},
            {"window", std::to_string(view->width()) + "x" + std::to_string(view->height())},
            {"seconds", wall},
            {"played_seconds", played},
            {"frames_expected", static_cast<long long>(played * fps + 0.5)},
            {"frames_due", due},
            {"frames_drawn", drawn},
            {"frames_superseded", superseded},
            {"mpv_dropped", mpvDropped},
            {"decoder_dropped", decoderDropped},
            {"dropped", superseded + mpvDropped + decoderDropped},
            {"main_thread_busy_share", seconds(busyTime) / wall},
            {"main_thread_cpu_share", mainCpu / wall},
            {"process_cpu_seconds", processTime},
            {"process_cpu_share", processTime / wall},
        };
        if (model.error())
            status = fail(model.error()->c_str());
        window.close();
        std::printf("%s\n", out.dump().c_str());
    }
    fs::remove_all(dir);
    return status;
}
