// Times Tevro's start on a data folder that holds many saved torrents: from
// the start of the process to the first painted main window, and to the
// library listing every torrent; and the peak memory of the process.
//   scripts/bench startup [--torrents N] [--runs N]
// The folder is filled once (N paused torrents of generated files, restored
// by the engine at every start); each run is a new process that starts the
// application on it, offscreen, and quits once the library lists them all.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include "tests/support/swarm/bench_folder.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_style.h"
#include "tevro/shell/application.h"
#include "tevro/shell/library_model.h"
#include "tevro/shell/main_view.h"
#include "tevro/shell/main_window.h"

using namespace tevro;
namespace fs = std::filesystem;

namespace {

void spin(const std::function<bool()>& done, int timeoutMs = 600000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
}

// Seconds since this process started, from its start time in /proc.
double sinceProcessStart() {
    FILE* f = std::fopen("/proc/self/stat", "r");
    if (!f)
        return -1;
    char buffer[4096] = {};
    std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = 0;
    // Field 22 (start time in clock ticks after boot) follows the command in parentheses.
    const char* p = std::strrchr(buffer, ')');
    if (!p)
        return -1;
    unsigned long long start = 0;
    int field = 2;
    for (const char* q = p + 1; *q && field < 22; ++q)
        if (*q == ' ' && ++field == 22)
            start = std::strtoull(q + 1, nullptr, 10);
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9 -
           double(start) / double(sysconf(_SC_CLK_TCK));
}

// One start of the application on the folder; prints "paint listed peakKiB".
int child(const fs::path& home, int torrents) {
    setenv("TEVRO_HOME", home.c_str(), 1);
    // The kit's test channel: no offers service off this machine.
    setenv("QUORVEL_TEST_ROOT", (home / "kit").c_str(), 1);
    int argc = 1;
    char name[] = "tevro";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    LibraryStyle::apply(app);
    Application tevro;
    double paint = -1, listed = -1;
    QObject::connect(&tevro, &Application::firstPaint, [&] { paint = sinceProcessStart(); });
    if (!tevro.start({}))
        return 1;
    spin([&] { return paint >= 0; });
    spin([&] {
        if (tevro.mainWindow()->view()->model()->rowCount() >= torrents && listed < 0)
            listed = sinceProcessStart();
        return listed >= 0;
    });
    // Let the restored torrents settle (their files are checked at start).
    QElapsedTimer settle;
    settle.start();
    spin([&] { return settle.elapsed() > 3000; });
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.4f %.4f %ld\n", paint, listed, usage.ru_maxrss);
    std::fflush(stdout);
    tevro.quit();
    return 0;
}

void fill(const fs::path& home, int torrents) {
    swarm::writeLoopbackEngineSettings(home, swarm::freeLoopbackPort(), home / "downloads");
    TorrentEngine::Options options;
    options.dataFolder = home;
    options.refreshTrackersAtStart = false;
    TorrentEngine engine(options);
    for (int i = 0; i < torrents; ++i) {
        swarm::GeneratedTorrent::Options o;
        o.name = "Release." + std::to_string(i) + ".2020.1080p";
        o.files = {{o.name + "/" + o.name + ".mkv", 48 * 1024}, {o.name + "/info.nfo", 300}};
        o.pieceSize = 16 * 1024;
        o.seed = std::uint32_t(i + 1);
        auto t = swarm::GeneratedTorrent::create(home / "made" / std::to_string(i), o);
        engine.addTorrent(t.torrentPath(), (home / "downloads").string(), std::nullopt, true,
                          false);
    }
    spin([&] { return engine.torrents().size() == std::size_t(torrents); });
    engine.shutdown();
    fs::remove_all(home / "made");
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int torrents = 1000, runs = 5;
    std::string childHome;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--torrents"))
            torrents = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--runs"))
            runs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--child"))
            childHome = argv[++i];
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TEVRO_SILENT", "1", 1);
    if (!childHome.empty())
        return child(childHome, torrents);

    swarm::ScratchFolder scratch;
    fs::path home = scratch / "home";
    {
        int qargc = 1;
        QCoreApplication app(qargc, argv);
        std::printf("filling a data folder with %d torrents\n", torrents);
        fill(home, torrents);
    }
    std::vector<double> paints, listings;
    long peak = 0;
    int failures = 0;
    for (int r = 0; r < runs; ++r) {
        std::string command = std::string(argv[0]) + " --torrents " + std::to_string(torrents) +
                              " --child '" + home.string() + "'";
        FILE* pipe = popen(command.c_str(), "r");
        double paint = -1, listed = -1;
        long kib = 0;
        if (!pipe || std::fscanf(pipe, "%lf %lf %ld", &paint, &listed, &kib) != 3 || paint < 0) {
            ++failures;
        } else {
            paints.push_back(paint);
            listings.push_back(listed);
            peak = std::max(peak, kib);
            std::printf("run %d: first paint %.3f s, %d torrents listed %.3f s, peak %.1f MiB\n",
                        r + 1, paint, torrents, listed, double(kib) / 1024);
        }
        if (pipe && pclose(pipe) != 0)
            ++failures;
    }
    std::printf(
        "{\"benchmark\":\"startup\",\"torrents\":%d,\"runs\":%d,\"first_paint_median_s\":%.3f,"
        "\"first_paint_worst_s\":%.3f,\"listed_median_s\":%.3f,\"peak_memory_mib\":%.1f,"
        "\"failures\":%d}\n",
        torrents, int(paints.size()), median(paints),
        paints.empty() ? 0 : *std::max_element(paints.begin(), paints.end()), median(listings),
        double(peak) / 1024, failures);
    return failures ? 1 : 0;
}
