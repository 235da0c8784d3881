#include "tests/library/library_engine.h"

#include <gtest/gtest.h>

#include "tests/library/widgets_app.h"
#include "tests/support/qt_app.h"
#include "tests/support/swarm/loopback_engine_settings.h"

namespace tevro::test {

using namespace std::chrono_literals;

LibraryEngine::LibraryEngine() {
    ensureWidgetsApp();
    m_port = swarm::freeLoopbackPort();
    swarm::writeLoopbackEngineSettings(m_dir / "home", m_port, m_dir / "downloads");
    TorrentEngine::Options options;
    options.dataFolder = m_dir / "home";
    options.refreshTrackersAtStart = false;
    m_engine = std::make_unique<TorrentEngine>(options);
}

LibraryEngine::~LibraryEngine() {
    m_engine->shutdown();
    m_engine.reset();
    m_seeder.reset();
}

swarm::GeneratedTorrent LibraryEngine::make(const std::string& name,
                                            std::vector<swarm::GeneratedFile> files,
                                            std::uint32_t seed) {
    swarm::GeneratedTorrent::Options o;
    o.name = name;
    o.files = std::move(files);
    o.seed = seed;
    return swarm::GeneratedTorrent::create(m_dir / ("seed-" + std::to_string(seed)), o);
}

TorrentStatus LibraryEngine::waitFor(const std::string& id,
                                     const std::function<bool(const TorrentStatus&)>& condition) {
    std::optional<TorrentStatus> found;
    const bool ok = waitUntil(
        [&] {
            found = m_engine->torrent(id);
            return found && condition(*found);
        },
        30s);
    EXPECT_TRUE(ok) << "torrent " << id << " state " << (found ? found->state : "absent");
    return found.value_or(TorrentStatus{});
}

TorrentStatus LibraryEngine::addSeeding(const swarm::GeneratedTorrent& torrent) {
    auto added = m_engine->addTorrent(torrent.torrentPath(), torrent.savePath().string(),
                                      std::nullopt, false, false);
    EXPECT_TRUE(added.has_value());
    return waitFor(torrent.expectedId(), [](const TorrentStatus& t) { return t.seeding; });
}

TorrentStatus LibraryEngine::addDownloading(const swarm::GeneratedTorrent& torrent) {
    if (!m_seeder) {
        m_seeder = std::make_unique<swarm::Seeder>();
        m_seeder->setUploadLimit(64 * 1024);
    }
    m_seeder->seed(torrent);
    auto added = m_engine->addTorrent(torrent.torrentPath(), (m_dir / "downloads").string(),
                                      std::nullopt, false, false);
    EXPECT_TRUE(added.has_value());
    std::optional<TorrentStatus> found;
    const bool ok = waitUntil(
        [&] {
            m_seeder->connect(torrent, m_port);
            found = m_engine->torrent(torrent.expectedId());
            return found && found->state == "downloading" && found->wantedDone > 0;
        },
        30s);
    EXPECT_TRUE(ok) << "no download of " << torrent.expectedId();
    return found.value_or(TorrentStatus{});
}

} // namespace tevro::test
