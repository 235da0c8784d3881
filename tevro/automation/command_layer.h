#pragma once

// The commands both local servers share: the state document and the changes
// they make to the engine. Neither server reaches into views; the main
// window and the player lend their state through the sources below, which
// the shell installs.

#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <string>

#include "tevro/core/json_value.h"
#include "tevro/core/torrent_status.h"

namespace tevro {

class TorrentEngine;

class CommandLayer {
public:
    // Largest rate limit in KiB/s: its byte count still fits a signed 32-bit integer.
    static constexpr std::int64_t kMaxLimitKiB = 2'097'151;

    struct Sources {
        // The main window's state ("ui") and the player's ("player"); the
        // documents of a closed window and an idle player when not set.
        std::function<Json()> ui;
        std::function<Json()> player;
    };

    explicit CommandLayer(TorrentEngine& engine, Sources sources = {});

    TorrentEngine& engine() const { return m_engine; }
    void setSources(Sources sources) { m_sources = std::move(sources); }

    // The whole state document: session, torrents, ui, player, trackers, toast.
    Json state() const;
    static Json torrentObject(const TorrentStatus& torrent);
    static Json idleUi();
    static Json idlePlayer();

    // Per-torrent limits: rates in KiB/s (0 = none), connections and upload
    // uploadSlots (below 1 = none). Refused, with nothing changed, when a rate is
    // outside 0...kMaxLimitKiB or a count does not fit a signed 32-bit integer.
    std::expected<void, std::string> setTorrentLimits(const std::string& id, std::int64_t downKiB,
                                                      std::int64_t upKiB, std::int64_t connections,
                                                      std::int64_t uploadSlots);

    static bool validLimitKiB(std::int64_t kib) { return kib >= 0 && kib <= kMaxLimitKiB; }

private:
    TorrentEngine& m_engine;
    Sources m_sources;
};

} // namespace tevro
