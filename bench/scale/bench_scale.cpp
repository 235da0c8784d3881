// Tevro with a large library: start-up, idle CPU, memory, adds, the state
// document and quit, with a plain libtorrent session holding the same
// torrents as the reference for CPU and memory.
//   scripts/bench scale [--torrents N] [--idle SECONDS] [--adds K] [--requests R]
//   bench_scale --torrents N --fill FOLDER, then
//   bench_scale --torrents N --idle S --adds 0 --requests 0 --child app FOLDER
// The data folder is filled directly (resume files of complete one-file
// torrents whose data is on disk), so thousands of torrents take seconds.
// Each measurement runs in a process of its own: the application on the
// folder, the application on an empty folder (the memory base), and the
// plain session.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/bencode.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/read_resume_data.hpp>
#include <libtorrent/session.hpp>
#include <libtorrent/session_params.hpp>
#include <libtorrent/torrent_status.hpp>
#include <libtorrent/write_resume_data.hpp>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>

#include "tests/support/swarm/bench_folder.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tevro/bridge/torrent_id.h"
#include "tevro/core/json_value.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_style.h"
#include "tevro/shell/application.h"
#include "tevro/shell/library_model.h"
#include "tevro/shell/main_view.h"
#include "tevro/shell/main_window.h"

using namespace tevro;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kFileSize = 16 * 1024;

double monotonicNow() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
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

// Resident memory now, in KiB.
long residentKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Processor share of this process over `seconds` of `wait`, in % of one core.
double cpuShare(double seconds, const std::function<void(int)>& wait) {
    double cpu0 = cpuSeconds(), t0 = monotonicNow();
    wait(int(seconds * 1000));
    return 100.0 * (cpuSeconds() - cpu0) / (monotonicNow() - t0);
}

struct Stats {
    double median = 0, worst = 0;
};

Stats stats(std::vector<double> v) {
    if (v.empty())
        return {};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.back()};
}

// ---- Filling the data folder -------------------------------------------------

std::string torrentName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "Seed.%05d", i);
    return name;
}

// A one-file torrent in its own folder under `downloads`, its data written.
std::shared_ptr<lt::torrent_info> makeTorrent(const fs::path& downloads, const std::string& name,
                                              std::uint32_t seed, bool writeData) {
    std::string inTorrent = name + "/" + name + ".bin";
    std::string bytes = swarm::GeneratedTorrent::content(seed, inTorrent, kFileSize);
    if (writeData) {
        fs::create_directories(downloads / name);
        std::ofstream(downloads / inTorrent, std::ios::binary)
            .write(bytes.data(), std::streamsize(bytes.size()));
    }
    lt::file_storage files;
    files.add_file(inTorrent, kFileSize);
    lt::create_torrent ct(files, kFileSize, lt::create_torrent::v1_only);
    ct.set_hash(lt::piece_index_t(0), lt::hasher(bytes.data(), int(bytes.size())).final());
    std::vector<char> buf;
    lt::bencode(std::back_inserter(buf), ct.generate());
    return std::make_shared<lt::torrent_info>(buf, lt::from_span);
}

void writeFile(const fs::path& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// N complete torrents as the bridge saves them, and K torrent files to add.
void fill(const fs::path& home, int torrents, int adds) {
    fs::path downloads = home / "downloads";
    fs::path resume = home / "state" / "resume";
    fs::create_directories(resume);
    fs::create_directories(home / "adds");
    swarm::writeLoopbackEngineSettings(home, swarm::freeLoopbackPort(), downloads);
    std::time_t base = std::time(nullptr) - torrents - 60;
    for (int i = 0; i < torrents; ++i) {
        std::string name = torrentName(i);
        auto ti = makeTorrent(downloads, name, std::uint32_t(i + 1), true);
        lt::add_torrent_params p;
        p.ti = ti;
        p.save_path = downloads.string();
        // As a session leaves a large library: held by libtorrent's queue.
        p.flags = lt::torrent_flags::auto_managed | lt::torrent_flags::paused;
        p.added_time = base + i;
        p.completed_time = base + i;
        p.have_pieces.resize(ti->num_pieces(), true);
        // What libtorrent's own save writes besides: a start compares its
        // save with the file, and these would make every file differ.
        p.info_hashes = ti->info_hashes();
        p.name = name;
        constexpr int kUnset = (1 << 24) - 1; // no limit, an unknown swarm
        p.max_connections = p.max_uploads = kUnset;
        p.num_complete = p.num_incomplete = p.num_downloaded = kUnset;
        std::string id = bridge::torrentId(ti->info_hashes());
        writeFile(resume / (id + ".resume"), lt::write_resume_data_buf(p));
        std::ofstream(resume / (id + ".presence")) << "v1\n0\n";
    }
    for (int k = 0; k < adds; ++k) {
        auto ti =
            makeTorrent(downloads, "Added." + std::to_string(k), std::uint32_t(900000 + k), false);
        lt::create_torrent ct(*ti);
        std::vector<char> buf;
        lt::bencode(std::back_inserter(buf), ct.generate());
        writeFile(home / "adds" / ("add-" + std::to_string(k) + ".torrent"), buf);
    }
}

// ---- Loopback clients ----------------------------------------------------------

// Sends `request` to 127.0.0.1:`port` and reads until the server closes.
std::string talk(int port, const std::string& request) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(std::uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        std::size_t sent = 0;
        while (sent < request.size()) {
            ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += std::size_t(n);
        }
        ::shutdown(fd, SHUT_WR);
        char buf[65536];
        while (true) {
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            reply.append(buf, std::size_t(n));
        }
    }
    ::close(fd);
    return reply;
}

struct Automation {
    int port = 0;
    std::string token;

    static std::optional<Automation> load(const fs::path& home) {
        std::ifstream in(home / "automation" / "endpoint.json");
        if (!in)
            return std::nullopt;
        try {
            Json e = Json::parse(in);
            return Automation{e.at("port").get<int>(), e.at("token").get<std::string>()};
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }

    // Seconds the call took, or a negative value when it failed.
    double call(const std::string& name, const Json& arguments) const {
        Json body = {{"token", token}, {"name", name}, {"arguments", arguments}};
        auto t0 = Clock::now();
        std::string reply = talk(port, body.dump() + "\n");
        double took = std::chrono::duration<double>(Clock::now() - t0).count();
        try {
            return Json::parse(reply).value("ok", false) ? took : -1;
        } catch (const std::exception&) {
            return -1;
        }
    }
};

double httpGet(int port, const std::string& path) {
    auto t0 = Clock::now();
    std::string reply =
        talk(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                       "\r\nConnection: close\r\n\r\n");
    double took = std::chrono::duration<double>(Clock::now() - t0).count();
    return reply.rfind("HTTP/1.1 200", 0) == 0 ? took : -1;
}

// ---- The application -------------------------------------------------------------

struct AppOptions {
    fs::path home;
    int torrents = 0;
    double idle = 60;
    int adds = 20;
    int requests = 10;
};

// Runs the event loop for `ms` milliseconds, or until `done` holds (checked
// every 10 ms; never when it is empty).
void runFor(int ms, const std::function<bool()>& done = {}) {
    QEventLoop loop;
    QTimer check;
    if (done) {
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (done())
                loop.quit();
        });
        check.start(10);
    }
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (!done || !done())
        loop.exec();
}

bool allSettled(const TorrentEngine& engine, int torrents) {
    if (int(engine.torrents().size()) < torrents)
        return false;
    for (const auto& t : engine.torrents())
        if (t.state == "checking" || t.state == "unknown")
            return false;
    return true;
}

// One start of the application; prints one line of figures, then quits and
// prints the time the quit began.
int appChild(const AppOptions& o) {
    setenv("TEVRO_HOME", o.home.c_str(), 1);
    setenv("QUORVEL_TEST_ROOT", (o.home / "kit").c_str(), 1);
    int controlPort = swarm::freeLoopbackPort();
    setenv("TEVRO_CONTROL_PORT", std::to_string(controlPort).c_str(), 1);
    int argc = 1;
    char name[] = "tevro";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    LibraryStyle::apply(app);
    Application tevro;
    double paint = -1, listed = -1, settled = -1;
    bool emptyShown = false;
    auto watchEmpty = [&] {
        if (listed >= 0 || o.torrents == 0 || !tevro.mainWindow())
            return;
        for (QLabel* label : tevro.mainWindow()->findChildren<QLabel*>())
            if (label->isVisible() && label->text() == QStringLiteral("Медиатека пуста"))
                emptyShown = true;
    };
    QObject::connect(&tevro, &Application::firstPaint, [&] {
        paint = sinceProcessStart();
        watchEmpty();
    });
    if (!tevro.start({}))
        return 1;
    QObject::connect(tevro.mainWindow()->view(), &MainView::refreshed, watchEmpty);
    TorrentEngine& engine = tevro.engine();
    runFor(60000, [&] { return paint >= 0; });
    runFor(600000, [&] {
        if (tevro.mainWindow()->view()->model()->rowCount() >= o.torrents && listed < 0)
            listed = sinceProcessStart();
        return listed >= 0;
    });
    runFor(1800000, [&] { return allSettled(engine, o.torrents); });
    settled = sinceProcessStart();
    runFor(3000);
    long memory = residentKiB();

    double idleCpu = -1;
    if (o.idle > 0)
        idleCpu = cpuShare(o.idle, [](int ms) { runFor(ms); });

    // The clients run on a thread of their own while the event loop serves them.
    std::vector<double> state, getState, adds;
    int failures = 0;
    std::atomic<bool> done = false;
    long afterRequests = 0;
    std::thread clients([&] {
        auto automation = Automation::load(o.home);
        for (int r = 0; r < o.requests; ++r) {
            double t = httpGet(controlPort, "/state");
            t < 0 ? ++failures : (state.push_back(t), 0);
            double g = automation ? automation->call("get_state", Json::object()) : -1;
            g < 0 ? ++failures : (getState.push_back(g), 0);
        }
        // What the servers keep for the state document, before the adds grow the library.
        afterRequests = residentKiB();
        for (int k = 0; k < o.adds; ++k) {
            Json args = {
                {"source", (o.home / "adds" / ("add-" + std::to_string(k) + ".torrent")).string()},
                {"save_path", (o.home / "downloads").string()},
                {"paused", true}};
            double a = automation ? automation->call("add_torrent", args) : -1;
            a < 0 ? ++failures : (adds.push_back(a), 0);
        }
        done = true;
    });
    runFor(600000, [&] { return done.load(); });
    clients.join();

    Stats s = stats(state), g = stats(getState), a = stats(adds);
    std::printf("figures %.4f %.4f %.4f %ld %.3f %.2f %.2f %.2f %.2f %.2f %.2f %d %d %ld\n", paint,
                listed, settled, memory, idleCpu, s.median * 1e3, s.worst * 1e3, g.median * 1e3,
                g.worst * 1e3, a.median * 1e3, a.worst * 1e3, failures, emptyShown ? 1 : 0,
                afterRequests);
    std::printf("quit %.6f\n", monotonicNow());
    std::fflush(stdout);
    tevro.quit();
    return 0;
}

// ---- The plain libtorrent session --------------------------------------------------

// The saved torrents as the bridge restores them (their data verified again).
std::vector<lt::add_torrent_params> savedTorrents(const fs::path& home) {
    std::vector<lt::add_torrent_params> out;
    for (const auto& e : fs::directory_iterator(home / "state" / "resume")) {
        if (e.path().extension() != ".resume")
            continue;
        std::ifstream in(e.path(), std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        lt::error_code ec;
        lt::add_torrent_params p = lt::read_resume_data(bytes, ec);
        if (ec)
            continue;
        p.have_pieces.clear();
        p.verified_pieces.clear();
        p.flags &= ~(lt::torrent_flags::seed_mode | lt::torrent_flags::no_verify_files);
        if (p.flags & lt::torrent_flags::auto_managed)
            p.flags &= ~lt::torrent_flags::paused;
        out.push_back(std::move(p));
    }
    return out;
}

int referenceChild(const AppOptions& o) {
    long before = residentKiB();
    lt::settings_pack pack;
    pack.set_str(lt::settings_pack::listen_interfaces, "127.0.0.1:0");
    pack.set_bool(lt::settings_pack::enable_dht, false);
    pack.set_bool(lt::settings_pack::enable_lsd, false);
    pack.set_bool(lt::settings_pack::enable_upnp, false);
    pack.set_bool(lt::settings_pack::enable_natpmp, false);
    lt::session session(lt::session_params{pack});
    long empty = residentKiB();
    {
        auto saved = savedTorrents(o.home);
        for (auto& p : saved)
            session.async_add_torrent(std::move(p));
    }
    // Until every torrent is in and checked.
    while (true) {
        std::vector<lt::alert*> alerts;
        session.pop_alerts(&alerts);
        auto all = session.get_torrent_status([](const lt::torrent_status&) { return true; });
        bool settled = int(all.size()) >= o.torrents;
        for (const auto& st : all)
            settled = settled && st.state != lt::torrent_status::checking_files &&
                      st.state != lt::torrent_status::checking_resume_data;
        if (settled)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    long memory = residentKiB();
    double cpu = o.idle > 0
                     ? cpuShare(o.idle,
                                [&](int ms) {
                                    // A client takes its alerts now and then.
                                    auto until = Clock::now() + std::chrono::milliseconds(ms);
                                    std::vector<lt::alert*> alerts;
                                    while (Clock::now() < until) {
                                        session.wait_for_alert(std::chrono::milliseconds(500));
                                        session.pop_alerts(&alerts);
                                    }
                                })
                     : -1;
    std::printf("reference %ld %ld %ld %.3f\n", before, empty, memory, cpu);
    std::fflush(stdout);
    return 0;
}

// ---- The parent --------------------------------------------------------------------

struct Child {
    std::vector<std::string> lines;
    double exitedAt = 0;
    int status = -1;
};

Child run(const std::string& command) {
    Child c;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return c;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        c.lines.emplace_back(line);
        std::fputs(line, stderr);
    }
    c.status = pclose(pipe);
    c.exitedAt = monotonicNow();
    return c;
}

const std::string* find(const Child& c, const char* prefix) {
    for (const auto& l : c.lines)
        if (l.rfind(prefix, 0) == 0)
            return &l;
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    AppOptions o;
    std::string mode, fillOnly;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--torrents"))
            o.torrents = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--idle"))
            o.idle = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--adds"))
            o.adds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--requests"))
            o.requests = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--fill"))
            fillOnly = argv[++i];
        else if (!std::strcmp(argv[i], "--child")) {
            mode = argv[++i];
            if (i + 1 < argc)
                o.home = argv[++i];
        }
    }
    if (o.torrents == 0 && mode.empty())
        o.torrents = 1000;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TEVRO_SILENT", "1", 1);
    if (mode == "app")
        return appChild(o);
    if (mode == "reference")
        return referenceChild(o);
    if (!fillOnly.empty()) {
        // A folder to run a child on by hand (under a profiler, say).
        fill(fillOnly, o.torrents, o.adds);
        return 0;
    }

    swarm::ScratchFolder scratch;
    fs::path home = scratch / "home", empty = scratch / "empty";
    auto t0 = Clock::now();
    fill(home, o.torrents, o.adds);
    fs::create_directories(empty);
    swarm::writeLoopbackEngineSettings(empty, swarm::freeLoopbackPort(), empty / "downloads");
    std::fprintf(stderr, "filled a data folder with %d torrents in %.1f s\n", o.torrents,
                 std::chrono::duration<double>(Clock::now() - t0).count());

    auto command = [&](const char* mode, const fs::path& folder, int torrents, double idle,
                       int adds, int requests) {
        char args[256];
        std::snprintf(args, sizeof args, " --torrents %d --idle %g --adds %d --requests %d",
                      torrents, idle, adds, requests);
        return std::string(argv[0]) + args + " --child " + mode + " '" + folder.string() + "'";
    };
    int failures = 0;

    // The library's memory base: the application with nothing in it.
    Child base = run(command("app", empty, 0, 0, 0, 0));
    long baseKiB = 0;
    if (const std::string* l = find(base, "figures ")) {
        double paint, listed, settled;
        std::sscanf(l->c_str(), "figures %lf %lf %lf %ld", &paint, &listed, &settled, &baseKiB);
    } else {
        ++failures;
    }

    Child ref = run(command("reference", home, o.torrents, o.idle, 0, 0));
    long refBefore = 0, refEmpty = 0, refMemory = 0;
    double refCpu = -1;
    if (const std::string* l = find(ref, "reference ")) {
        std::sscanf(l->c_str(), "reference %ld %ld %ld %lf", &refBefore, &refEmpty, &refMemory,
                    &refCpu);
    } else {
        ++failures;
    }

    Child app = run(command("app", home, o.torrents, o.idle, o.adds, o.requests));
    double paint = -1, listed = -1, settled = -1, idleCpu = -1, quitStart = 0;
    double stateMed = 0, stateWorst = 0, getMed = 0, getWorst = 0, addMed = 0, addWorst = 0;
    long memory = 0, afterRequests = 0;
    int requestFailures = 0, emptyShown = 0;
    const std::string* figures = find(app, "figures ");
    const std::string* quit = find(app, "quit ");
    if (!figures || !quit ||
        std::sscanf(
            figures->c_str(), "figures %lf %lf %lf %ld %lf %lf %lf %lf %lf %lf %lf %d %d %ld",
            &paint, &listed, &settled, &memory, &idleCpu, &stateMed, &stateWorst, &getMed,
            &getWorst, &addMed, &addWorst, &requestFailures, &emptyShown, &afterRequests) != 14 ||
        std::sscanf(quit->c_str(), "quit %lf", &quitStart) != 1)
        ++failures;
    failures += requestFailures;
    if (app.status != 0 || base.status != 0 || ref.status != 0)
        ++failures;
    double quitSeconds = quitStart > 0 ? app.exitedAt - quitStart : -1;

    double n = std::max(1, o.torrents);
    double perTorrent = double(memory - baseKiB) / n;
    double refPerTorrent = double(refMemory - refEmpty) / n;
    double afterPerTorrent = double(afterRequests - baseKiB) / n;
    std::printf(
        "{\"benchmark\":\"scale\",\"torrents\":%d,\"idle_window_s\":%g,"
        "\"first_paint_s\":%.3f,\"listed_s\":%.3f,\"checked_s\":%.3f,\"empty_library_shown\":%s,"
        "\"idle_cpu_percent\":%.2f,\"reference_idle_cpu_percent\":%.2f,\"idle_cpu_ratio\":%.2f,"
        "\"memory_mib\":%.1f,\"empty_memory_mib\":%.1f,\"reference_memory_mib\":%.1f,"
        "\"reference_empty_memory_mib\":%.1f,\"memory_per_torrent_kib\":%.2f,"
        "\"reference_memory_per_torrent_kib\":%.2f,\"memory_ratio\":%.2f,"
        "\"memory_after_requests_mib\":%.1f,\"memory_after_requests_per_torrent_kib\":%.2f,"
        "\"add_median_ms\":%.1f,\"add_worst_ms\":%.1f,\"state_median_ms\":%.1f,"
        "\"state_worst_ms\":%.1f,\"get_state_median_ms\":%.1f,\"get_state_worst_ms\":%.1f,"
        "\"quit_s\":%.3f,\"failures\":%d}\n",
        o.torrents, o.idle, paint, listed, settled, emptyShown ? "true" : "false", idleCpu, refCpu,
        refCpu > 0 ? idleCpu / refCpu : 0.0, double(memory) / 1024, double(baseKiB) / 1024,
        double(refMemory) / 1024, double(refEmpty) / 1024, perTorrent, refPerTorrent,
        refPerTorrent > 0 ? perTorrent / refPerTorrent : 0.0, double(afterRequests) / 1024,
        afterPerTorrent, addMed, addWorst, stateMed, stateWorst, getMed, getWorst, quitSeconds,
        failures);
    return failures ? 1 : 0;
}
