// Counts what the data-safety rules promise, on the real executable:
//   scripts/bench data_safety [--rounds N] [--only launches|full|damaged]
// launches   N rounds each of a second launch bringing a link to a normal, a
//            frozen (SIGSTOP) and a quitting holder on one data folder: the
//            most engines that ran at once on it, and the links delivered;
// full       changes through the control server while the data folder is
//            full (RLIMIT_FSIZE 0), then room again and a restart: changes
//            acknowledged and lost, refusals, files that failed to write
//            and those a message in the main window named;
// damaged    every damage of every state file (7 x 5 starts): starts that
//            failed, originals destroyed, damages reported at start.
// Run as root, the application runs as nobody, so that a file of mode 000
// cannot be read.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>
#include <QUrl>

#include "tests/support/damaged_files.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/swarm/bench_folder.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tests/support/tevro_process.h"
#include "tevro/core/json_value.h"
#include "tevro/shell/single_instance.h"

using namespace tevro;
namespace fs = std::filesystem;
using test::TevroProcess;

namespace {

constexpr char kLink[] = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=x";
const bool kAsRoot = ::geteuid() == 0;
constexpr uid_t kNobody = 65534;

bool spinUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    return true;
}

void wait(int ms) {
    spinUntil([] { return false; }, ms);
}

std::string readFile(const fs::path& path, std::size_t limit = SIZE_MAX) {
    std::ifstream in(path, std::ios::binary);
    std::string out;
    char buffer[65536];
    while (out.size() < limit) {
        in.read(buffer, sizeof buffer);
        if (in.gcount() <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    return out.substr(0, std::min(limit, out.size()));
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void giveToNobody(const fs::path& folder) {
    if (!kAsRoot)
        return;
    ::chown(folder.c_str(), kNobody, kNobody);
    for (const auto& e : fs::recursive_directory_iterator(folder))
        ::lchown(e.path().c_str(), kNobody, kNobody);
}

// `asNobody`: as root, the application runs as nobody (for files of mode
// 000); its limits can then no longer be changed from here, which needs
// CAP_SYS_RESOURCE for another user's process.
TevroProcess::Options optionsFor(const fs::path& home, bool control = true, bool asNobody = true) {
    TevroProcess::Options o;
    o.home = home;
    o.controlPort = control ? swarm::freeLoopbackPort() : 0;
    o.extra.insert("XDG_RUNTIME_DIR",
                   QString::fromStdString((home.parent_path() / "run").string()));
    if (kAsRoot && asNobody)
        o.childSetup = [] {
            ::signal(SIGXFSZ, SIG_IGN);
            ::setgroups(0, nullptr);
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(99);
        };
    else
        o.childSetup = [] { ::signal(SIGXFSZ, SIG_IGN); };
    return o;
}

fs::path prepareHome(const fs::path& dir, const std::string& name) {
    fs::path home = dir / name;
    swarm::writeLoopbackEngineSettings(home, swarm::freeLoopbackPort(), dir / "downloads");
    fs::create_directories(dir / "downloads");
    fs::create_directories(dir / "run");
    ::chmod((dir / "run").c_str(), 0700);
    giveToNobody(dir);
    return home;
}

bool magnetShown(const TevroProcess& p) {
    auto s = p.state();
    return s && (*s)["ui"]["magnetSheet"] == true;
}

// ---- Launches -------------------------------------------------------------

struct LaunchFigures {
    int rounds = 0;
    int maxEngines = 0;
    int delivered = 0;
    int frozenHalfWay = 0;
};

void sample(LaunchFigures& f, const std::vector<const TevroProcess*>& processes) {
    int engines = 0;
    for (const auto* p : processes)
        engines += p->hasEngine() ? 1 : 0;
    f.maxEngines = std::max(f.maxEngines, engines);
}

bool sampleUntil(LaunchFigures& f, const std::vector<const TevroProcess*>& processes,
                 const std::function<bool()>& done, int timeoutMs) {
    return spinUntil(
        [&] {
            sample(f, processes);
            return done();
        },
        timeoutMs);
}

void launchRound(const std::string& mode, const fs::path& dir, LaunchFigures& f) {
    fs::path home = prepareHome(dir, "home");
    TevroProcess holder(TEVRO_EXECUTABLE, optionsFor(home));
    holder.start();
    if (!spinUntil([&] { return holder.state().has_value(); }, 60000)) {
        std::fprintf(stderr, "holder did not start: %s\n", holder.errors().c_str());
        return;
    }
    ++f.rounds;
    if (mode == "frozen")
        holder.signal(SIGSTOP);
    if (mode == "quitting") {
        holder.signal(SIGTERM);
        // The holder stops answering first thing when it quits.
        spinUntil(
            [&] {
                QLocalSocket probe;
                probe.connectToServer(SingleInstance::serverName(home));
                return !probe.waitForConnected(20);
            },
            30000);
        holder.signal(SIGSTOP);
        if (holder.running())
            ++f.frozenHalfWay;
    }
    TevroProcess launch(TEVRO_EXECUTABLE, optionsFor(home, mode == "quitting"));
    launch.start({kLink});
    const std::vector<const TevroProcess*> both = {&holder, &launch};
    if (mode != "normal") {
        // Long enough for any launch that would give up on the holder.
        sampleUntil(
            f, both, [] { return false; }, 4000);
        holder.signal(SIGCONT);
    }
    const TevroProcess& receiver = mode == "quitting" ? launch : holder;
    if (sampleUntil(
            f, both, [&] { return magnetShown(receiver); }, 60000))
        ++f.delivered;
    for (TevroProcess* p : {&launch, &holder})
        if (p->running()) {
            p->signal(SIGTERM);
            p->waitForExit(std::chrono::seconds(60));
        }
    fs::remove_all(home);
}

// ---- Full data folder -------------------------------------------------------

std::string addTarget(const swarm::GeneratedTorrent& t) {
    return "/add?path=" +
           QUrl::toPercentEncoding(QString::fromStdString(t.torrentPath().string())).toStdString() +
           "&paused=1";
}

Json fullDataFolder(const fs::path& dir) {
    fs::path home = prepareHome(dir, "home");
    std::vector<swarm::GeneratedTorrent> torrents;
    for (int i = 0; i < 10; ++i) {
        swarm::GeneratedTorrent::Options o;
        o.name = "T" + std::to_string(i);
        o.files = {{o.name + "/a.bin", 64'000}, {o.name + "/b.txt", 100}};
        o.seed = std::uint32_t(i + 1);
        torrents.push_back(swarm::GeneratedTorrent::create(dir / ("seed" + std::to_string(i)), o));
    }
    giveToNobody(dir);
    auto app = std::make_unique<TevroProcess>(TEVRO_EXECUTABLE, optionsFor(home, true, false));
    app->start();
    spinUntil([&] { return app->state().has_value(); }, 60000);

    std::set<std::string> acknowledgedIds, refusedIds;
    std::int64_t acknowledgedDown = 0;
    int acknowledged = 0, refused = 0, wrongly = 0;
    std::set<std::string> toasts;
    auto request = [&](const std::string& target) {
        auto reply = app->get(target);
        if (auto s = app->state(); s && !(*s)["toast"].get<std::string>().empty())
            toasts.insert((*s)["toast"].get<std::string>());
        return reply.value_or(Json::object());
    };
    for (int i = 0; i < 5; ++i) {
        Json added = request(addTarget(torrents[std::size_t(i)]));
        Json set = request("/settings?down=" + std::to_string(100 + i));
        if (added.contains("id")) {
            acknowledgedIds.insert(added["id"]);
            ++acknowledged;
        }
        if (set.value("ok", false)) {
            acknowledgedDown = 100 + i;
            ++acknowledged;
        }
    }
    test::setFileSizeLimit(app->pid(), 0);
    for (int i = 5; i < 10; ++i) {
        Json added = request(addTarget(torrents[std::size_t(i)]));
        Json set = request("/settings?up=" + std::to_string(200 + i));
        for (const Json* reply : {&added, &set}) {
            if (reply->contains("error"))
                ++refused;
            else
                ++wrongly;
        }
        refusedIds.insert(torrents[std::size_t(i)].expectedId());
        // A pause the bridge must save as resume data.
        request("/action?a=pause&id=" + *acknowledgedIds.begin());
        wait(300);
    }
    // The failed writes the application itself logged, by file.
    wait(6000);
    request("/state");
    std::set<std::string> failedFiles, toldFiles;
    {
        std::string errors = app->errors();
        for (const char* name : {"settings.json", "torrents.json", "library.json", "resume:"})
            if (errors.find(std::string(name)) != std::string::npos)
                failedFiles.insert(name == std::string("resume:") ? "state" : name);
        for (const auto& t : toasts) {
            for (const char* name : {"settings.json", "torrents.json", "library.json"})
                if (t.find(std::string("Не удалось сохранить «") + name) != std::string::npos)
                    toldFiles.insert(name);
            if (t.find("не удалось сохранить состояние торрента") != std::string::npos)
                toldFiles.insert("state");
        }
    }
    test::setFileSizeLimit(app->pid(), RLIM_INFINITY);
    wait(8000);
    app->signal(SIGTERM);
    app->waitForExit(std::chrono::seconds(60));

    app = std::make_unique<TevroProcess>(TEVRO_EXECUTABLE, optionsFor(home, true, false));
    app->start();
    spinUntil([&] { return app->state().has_value(); }, 60000);
    wait(2000);
    std::set<std::string> restored;
    if (auto s = app->state())
        for (const auto& t : (*s)["torrents"])
            restored.insert(t["id"].get<std::string>());
    app->signal(SIGTERM);
    app->waitForExit(std::chrono::seconds(60));
    Json settings = Json::parse(readFile(home / "settings.json"), nullptr, false);
    int lost = 0, addedAnyway = 0;
    for (const auto& id : acknowledgedIds)
        lost += restored.count(id) ? 0 : 1;
    for (const auto& id : refusedIds)
        addedAnyway += restored.count(id) ? 1 : 0;
    if (settings.is_discarded() || settings.value("downloadLimitKiB", -1) != acknowledgedDown)
        ++lost;
    return Json{{"acknowledged", acknowledged},
                {"acknowledged_lost", lost},
                {"refused", refused},
                {"acknowledged_while_full", wrongly},
                {"refused_adds_present", addedAnyway},
                {"files_failed", failedFiles.size()},
                {"files_told", toldFiles.size()}};
}

// ---- Damaged files ----------------------------------------------------------

std::string insertBeforeEnd(const std::string& dict, const std::string& entry) {
    return dict.empty() ? entry : dict.substr(0, dict.size() - 1) + entry + "e";
}

Json damagedFiles(const fs::path& dir) {
    // One data folder with a torrent, its metadata, library preferences and a
    // session state, copied for every case.
    fs::path base = prepareHome(dir, "base");
    swarm::GeneratedTorrent::Options o;
    o.name = "Damaged One";
    o.files = {{"Damaged One/a.bin", 64'000}, {"Damaged One/b.txt", 100}};
    auto torrent = swarm::GeneratedTorrent::create(dir / "seed", o);
    giveToNobody(dir);
    {
        TevroProcess app(TEVRO_EXECUTABLE, optionsFor(base));
        app.start();
        spinUntil([&] { return app.state().has_value(); }, 60000);
        app.get(addTarget(torrent));
        app.get("/select?layout=list&sort=size");
        wait(1500);
        app.signal(SIGTERM);
        app.waitForExit(std::chrono::seconds(60));
    }
    const std::string id = torrent.expectedId();
    writeFile(base / "torrents.json",
              Json{{id, {{"positions", {{"0", 42.5}}}, {"ignoreSeedLimits", true}}}}.dump(2));
    std::string resume = readFile(base / "state" / "resume" / (id + ".resume"));
    std::string state = readFile(base / "state" / "session.state");
    Json settings = Json::parse(readFile(base / "settings.json"));

    Json wrongSettings = settings, unknownSettings = settings;
    wrongSettings["downloadLimitKiB"] = "fast";
    unknownSettings["futureKey"] = 1;
    struct File {
        std::string name;
        fs::path relative;
        test::DamageTexts texts;
        std::string mention; // how the start message names it
    } files[] = {
        {"settings.json",
         "settings.json",
         {settings.dump(2), wrongSettings.dump(), unknownSettings.dump()},
         "settings.json"},
        {"torrents.json",
         "torrents.json",
         {readFile(base / "torrents.json"), Json{{id, {{"positions", "x"}}}}.dump(),
          Json{{id, {{"positions", Json::object()}, {"ignoreSeedLimits", true}, {"rate", 1}}}}
              .dump()},
         "torrents.json"},
        {"library.json",
         "library.json",
         {readFile(base / "library.json"), R"({"layout":"list","sort":7})",
          R"({"layout":"list","sort":"size","zoom":2})"},
         "library.json"},
        {"session.state",
         fs::path("state") / "session.state",
         {state, "d9:dht statei5ee", insertBeforeEnd(state, "3:zzzi1e")},
         "session.state"},
        {"resume",
         fs::path("state") / "resume" / (id + ".resume"),
         {resume, "d4:infoi5e9:save_pathi7ee", insertBeforeEnd(resume, "3:zzzi1e")},
         "Damaged One"},
    };
    int cases = 0, started = 0, destroyed = 0, reported = 0;
    Json readAsValid = Json::array(), unreported = Json::array(), lostCases = Json::array();
    for (const File& f : files) {
        for (test::Damage damage : test::allDamages()) {
            ++cases;
            std::string label = f.name + ", " + test::damageName(damage);
            fs::path home = dir / "case";
            fs::remove_all(home);
            fs::copy(base, home, fs::copy_options::recursive);
            fs::path file = home / f.relative;
            std::string bytes = test::applyDamage(damage, file, f.texts);
            auto size = fs::file_size(file);
            giveToNobody(home);
            if (damage == test::Damage::unreadable)
                ::chmod(file.c_str(), 0);
            TevroProcess app(TEVRO_EXECUTABLE, optionsFor(home));
            app.start();
            std::string told;
            if (spinUntil([&] { return app.state().has_value(); }, 60000)) {
                ++started;
                spinUntil(
                    [&] {
                        auto s = app.state();
                        told = s ? (*s)["toast"].get<std::string>() : "";
                        return told.find("Повреждённые") != std::string::npos;
                    },
                    8000);
            }
            app.signal(SIGTERM);
            app.waitForExit(std::chrono::seconds(60));
            ::chmod(file.c_str(), 0644);
            // The original bytes, in place or beside it under a ".corrupt-" name.
            auto holds = [&](const fs::path& p) {
                std::error_code ec;
                return fs::file_size(p, ec) == size && readFile(p, bytes.size()) == bytes;
            };
            bool kept = holds(file);
            for (const auto& e : fs::directory_iterator(file.parent_path()))
                if (e.path().filename().string().starts_with(file.filename().string() +
                                                             ".corrupt-"))
                    kept = kept || holds(e.path());
            bool mentioned = told.find(f.mention) != std::string::npos ||
                             (f.name == "resume" && told.find(id) != std::string::npos);
            reported += mentioned ? 1 : 0;
            if (!kept && !mentioned) {
                // Rewritten without a word: what libtorrent reads as valid.
                readAsValid.push_back(label);
            } else if (!kept) {
                ++destroyed;
                lostCases.push_back(label);
            } else if (!mentioned) {
                unreported.push_back(label);
            }
            std::printf("%-28s kept %d told %d\n", label.c_str(), kept, mentioned);
            std::fflush(stdout);
        }
    }
    return Json{{"cases", cases},
                {"started", started},
                {"destroyed", destroyed},
                {"reported", reported},
                {"destroyed_cases", lostCases},
                {"unreported_kept", unreported},
                {"read_as_valid", readAsValid}};
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 10;
    std::string only;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--only") == 0)
            only = argv[++i];
    }
    QCoreApplication app(argc, argv);
    swarm::ScratchFolder scratch;
    ::chmod(scratch.path().c_str(), 0755);
    Json figures = Json::object();
    if (only.empty() || only == "launches") {
        for (const char* mode : {"normal", "frozen", "quitting"}) {
            LaunchFigures f;
            for (int r = 0; r < rounds; ++r) {
                fs::path dir = scratch / (std::string("launch-") + mode);
                fs::create_directories(dir);
                launchRound(mode, dir, f);
                std::printf("%s round %d: most engines at once %d, links delivered %d\n", mode,
                            r + 1, f.maxEngines, f.delivered);
                std::fflush(stdout);
            }
            Json j = {{"rounds", f.rounds},
                      {"max_engines", f.maxEngines},
                      {"links_delivered", f.delivered}};
            if (std::string(mode) == "quitting")
                j["frozen_mid_shutdown"] = f.frozenHalfWay;
            figures[std::string("launch_") + mode] = j;
        }
    }
    if (only.empty() || only == "full") {
        fs::create_directories(scratch / "full");
        figures["full_data_folder"] = fullDataFolder(scratch / "full");
    }
    if (only.empty() || only == "damaged") {
        fs::create_directories(scratch / "damaged");
        figures["damaged_files"] = damagedFiles(scratch / "damaged");
    }
    std::printf("%s\n", figures.dump().c_str());
    return 0;
}
