#pragma once

// An engine on a fresh data folder whose session talks only to 127.0.0.1:
// what every server test drives.

#include <filesystem>
#include <memory>

#include "tests/engine/fake_probe.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tevro/engine/torrent_engine.h"

namespace tevro::test {

// With `fresh` false, the data folder of an earlier engine starts again.
inline std::unique_ptr<TorrentEngine> loopbackEngine(const std::filesystem::path& dir,
                                                     bool fresh = true) {
    if (fresh)
        swarm::writeLoopbackEngineSettings(dir / "home", swarm::freeLoopbackPort(),
                                           dir / "downloads");
    TorrentEngine::Options o;
    o.dataFolder = dir / "home";
    o.probe = std::make_shared<FakeProbe>();
    o.refreshTrackersAtStart = false;
    return std::make_unique<TorrentEngine>(o);
}

} // namespace tevro::test
