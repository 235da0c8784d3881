#include "tests/torrent/views_fixture.h"

#include <QApplication>
#include <QWidget>

#include "tests/support/qt_app.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tests/engine/fake_probe.h"

namespace tevro::test {

void ensureWidgetApp() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tevro-torrent-tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

void minimizeAndRestore(QWidget& window) {
    window.showMinimized();
    EXPECT_TRUE(waitUntil([&] { return window.isMinimized(); }));
    spinFor(std::chrono::milliseconds(100));
    window.showNormal();
    EXPECT_TRUE(waitUntil([&] { return !window.isMinimized(); }));
    spinFor(std::chrono::milliseconds(100));
}

void ViewsTest::SetUp() {
    ensureWidgetApp();
    port = swarm::freeLoopbackPort();
    swarm::writeLoopbackEngineSettings(dir / "home", port, dir / "downloads");
    startEngine();
}

void ViewsTest::TearDown() {
    stopEngine();
    seeder.reset();
}

TorrentEngine& ViewsTest::startEngine() {
    stopEngine();
    TorrentEngine::Options o;
    o.dataFolder = dir / "home";
    o.probe = std::make_shared<FakeProbe>();
    o.refreshTrackersAtStart = false;
    o.reveal = [this](const std::filesystem::path& p, bool select) {
        revealed.emplace_back(p, select);
    };
    m_engine = std::make_unique<TorrentEngine>(o);
    return *m_engine;
}

void ViewsTest::stopEngine() {
    if (!m_engine)
        return;
    m_engine->shutdown();
    m_engine.reset();
}

swarm::GeneratedTorrent
ViewsTest::makeTorrent(const std::string& name, const std::vector<swarm::GeneratedFile>& files,
                       std::uint32_t seed, const std::vector<std::string>& trackers, bool v1Only) {
    swarm::GeneratedTorrent::Options o;
    o.name = name;
    o.files = files;
    o.seed = seed;
    o.pieceSize = 16 * 1024;
    o.trackers = trackers;
    o.v1Only = v1Only;
    return swarm::GeneratedTorrent::create(dir / ("seed-" + name), o);
}

std::string ViewsTest::addSeeded(const swarm::GeneratedTorrent& t, bool paused) {
    if (!seeder)
        seeder = std::make_unique<swarm::Seeder>();
    seeder->seed(t);
    auto added = m_engine->addTorrent(t.torrentPath(), downloads(), std::nullopt, paused, false);
    EXPECT_TRUE(added.has_value());
    std::string id = added ? added->id : std::string();
    EXPECT_TRUE(waitUntil([&] { return m_engine->torrent(id).has_value(); }));
    return id;
}

std::vector<TorrentFile> ViewsTest::engineFiles(const std::string& id) {
    std::vector<TorrentFile> files;
    bool got = false;
    m_engine->files(id, [&](std::vector<TorrentFile> f) {
        files = std::move(f);
        got = true;
    });
    EXPECT_TRUE(waitUntil([&] { return got; }));
    return files;
}

bool ViewsTest::waitConnected(const std::vector<const swarm::GeneratedTorrent*>& torrents,
                              const std::function<bool()>& condition,
                              std::chrono::milliseconds timeout) {
    return waitUntil(
        [&] {
            for (const auto* t : torrents)
                seeder->connect(*t, port);
            return condition();
        },
        timeout);
}

std::vector<swarm::GeneratedFile> seasonFiles() {
    return {
        {"Show.S01E03.1080p.mkv", 40000}, {"Show.S01E01.1080p.mkv", 40000},
        {"Show.S01E02.1080p.mkv", 40000}, {"Show.S01E05.1080p.mkv", 40000},
        {"Show.S01E04.1080p.mkv", 40000}, {"Subs/Show.S01E01.srt", 2000},
        {"Subs/Show.S01E02.srt", 2000},   {"Show.S01E01.sample.mkv", 9000},
        {"Soundtrack/theme.flac", 7000},  {"readme.txt", 500},
    };
}

} // namespace tevro::test
