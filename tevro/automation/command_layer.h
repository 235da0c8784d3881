#pragma once

// The commands both local servers share: the state document and the changes
// they make to the engine, the player and the windows. Neither server
// reaches into views; the main window lends its state and the application
// its window opener through the sources below, which the shell installs.

#include <cstdint>
#include <expected>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tevro/core/json_value.h"
#include "tevro/core/torrent_status.h"

class QWidget;

namespace tevro {

class PlayerModel;
class StateTextCache;
class TorrentEngine;

class CommandLayer {
public:
    // Largest rate limit in KiB/s: its byte count still fits a signed 32-bit integer.
    static constexpr std::int64_t kMaxLimitKiB = 2'097'151;

    // A request's query, percent-decoded; the last of a repeated name wins.
    using QueryMap = std::map<std::string, std::string>;
    using Reply = std::function<void(Json)>;

    // What the shell lends; an unset source means the part is not there
    // (no main window, no player) and commands on it do nothing.
    struct Sources {
        // The main window's state ("ui"); the document of a closed window when not set.
        std::function<Json()> ui;
        // Applies a "/select" query to the main window's state.
        std::function<void(const QueryMap& query)> select;
        // The torrent whose contents page is open, if any.
        std::function<std::optional<std::string>()> openedTorrent;
        // The application's player: the "player" document and every player command.
        PlayerModel* player = nullptr;
        // Opens "main", "player" or "settings" (the window opener).
        std::function<void(const std::string& identifier)> openWindow;
        // The offers panel: runs the query's action, then replies the status object.
        std::function<void(const QueryMap& query, Reply reply)> offers;
        // Asks the application for its orderly quit.
        std::function<void()> quit;
    };

    explicit CommandLayer(TorrentEngine& engine);
    CommandLayer(TorrentEngine& engine, Sources sources);

    TorrentEngine& engine() const { return m_engine; }
    const Sources& sources() const { return m_sources; }
    void setSources(Sources sources) { m_sources = std::move(sources); }

    // The whole state document: session, torrents, ui, player, trackers, toast.
    // Built on demand; the servers write stateText().
    Json state() const;
    // The same document as the control server writes it (encode() of
    // state()), each torrent's text kept while its row stays the same.
    std::string stateText() const;
    // The text a document is written as: compact, keys sorted, invalid
    // UTF-8 replaced; "{}" for what is neither an object nor an array.
    static std::string encode(const Json& value);
    static Json torrentObject(const TorrentStatus& torrent);
    static Json idleUi();
    static Json idlePlayer();
    static Json playerState(const PlayerModel& player);
    // The offers status of an empty model that was never presented.
    static Json idleOffers();

    // The player, or null when the application has none.
    PlayerModel* player() const { return m_sources.player; }
    // Opens a window by identifier; nothing without a window opener.
    void openWindow(const std::string& identifier) const;
    // The first application window a short name finds ("main", "player",
    // "settings", "sheet"); hidden windows included. Null when none.
    QWidget* window(const std::string& name) const;

    // Per-torrent limits: rates in KiB/s (0 = none), connections and upload
    // slots (below 1 = none). Refused, with nothing changed, when a rate is
    // outside 0...kMaxLimitKiB or a count does not fit a signed 32-bit integer.
    std::expected<void, std::string> setTorrentLimits(const std::string& id, std::int64_t downKiB,
                                                      std::int64_t upKiB, std::int64_t connections,
                                                      std::int64_t uploadSlots);

    static bool validLimitKiB(std::int64_t kib) { return kib >= 0 && kib <= kMaxLimitKiB; }

private:
    void appendTorrents(std::string& out) const;
    Json documentWithout() const; // every part but the torrents

    TorrentEngine& m_engine;
    Sources m_sources;
    // Shared by every layer on the engine: both servers write the same texts.
    StateTextCache& m_texts;
};

} // namespace tevro
