#pragma once

// A torrent's piece map for a view that shows it: fetched from the engine
// while the view is active, again every 2 s; emptied at once when the view
// turns to another torrent or comes back on screen, so it never shows
// another torrent's pieces. Late answers are dropped.

#include <string>

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "tevro/core/piece_map.h"

namespace tevro {

class TorrentEngine;

class PieceMapLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 2000;

    // Without an engine the loader takes the one of LibraryContext.
    explicit PieceMapLoader(TorrentEngine* engine = nullptr, QObject* parent = nullptr);

    void setTorrentId(const std::string& id);
    // Fetching runs only while active (the view is on screen).
    void setActive(bool active);

    const PieceMap& map() const { return m_map; }
    // The torrent whose pieces map() holds.
    const std::string& mapId() const { return m_mapId; }

signals:
    void changed();

private:
    void reset();
    void fetch();

    QPointer<TorrentEngine> m_engine;
    std::string m_id;
    PieceMap m_map;
    std::string m_mapId;
    bool m_active = false;
    quint64 m_generation = 0;
    QTimer m_timer;
};

} // namespace tevro
