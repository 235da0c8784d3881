#include "tests/support/playback/player_rig.h"

#include <stdexcept>

#include <QElapsedTimer>

#include "tests/support/qt_app.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tevro/core/storage.h"

namespace tevro::playback {

PlayerRig::PlayerRig(const std::filesystem::path& folder, Options options)
    : m_downloads(folder / "downloads") {
    m_port = swarm::freeLoopbackPort();
    swarm::writeLoopbackEngineSettings(folder / "home", m_port, m_downloads, [&](Json& s) {
        s["hardwareDecoding"] = false;
        if (options.settings)
            options.settings(s);
    });

    swarm::Seeder::Options seederOptions;
    seederOptions.uploadLimit = options.uploadLimit;
    m_seeder = std::make_unique<swarm::Seeder>(seederOptions);

    TorrentEngine::Options o;
    o.dataFolder = folder / "home";
    o.refreshTrackersAtStart = false;
    m_engine = std::make_unique<TorrentEngine>(o);
}

PlayerRig::~PlayerRig() {
    m_engine.reset();
    m_seeder.reset();
}

std::string PlayerRig::add(const MediaTorrent& torrent, std::optional<std::vector<int>> priorities,
                           bool connect) {
    torrent.seed(*m_seeder);
    auto added =
        m_engine->addTorrent(torrent.torrentPath(), m_downloads.string(), priorities, false, false);
    if (!added)
        throw std::runtime_error("add failed: " + added.error().message);
    std::string id = added->id;
    test::waitUntil([&] { return m_engine->torrent(id).has_value(); }, std::chrono::seconds(10));
    if (connect) {
        // The engine may not listen yet: ask again until the seeder sees it.
        QElapsedTimer asked;
        test::waitUntil(
            [&] {
                if (!asked.isValid() || asked.elapsed() > 500) {
                    torrent.connect(*m_seeder, m_port);
                    asked.start();
                }
                return torrent.connectedPeers(*m_seeder) > 0;
            },
            std::chrono::seconds(15));
    }
    return id;
}

std::vector<TorrentFile> PlayerRig::files(const std::string& id) {
    auto result = std::make_shared<std::optional<std::vector<TorrentFile>>>();
    m_engine->files(id, [result](std::vector<TorrentFile> list) { *result = std::move(list); });
    test::waitUntil([&] { return result->has_value(); }, std::chrono::seconds(10));
    return result->value_or(std::vector<TorrentFile>{});
}

TorrentFile PlayerRig::file(const std::string& id, const std::string& suffix) {
    for (const auto& f : files(id))
        if (f.path.ends_with(suffix))
            return f;
    throw std::runtime_error("no file ending with " + suffix);
}

} // namespace tevro::playback
