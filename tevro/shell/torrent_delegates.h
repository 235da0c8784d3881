#pragma once

// Painting of the table's name, progress and status cells over the library
// model. Covers come from the artwork store; a missing cover is the library's
// pattern placeholder. Piece maps come from the engine, asked again every 2 s
// for the rows that are painted.

#include <map>
#include <optional>
#include <string>

#include <QImage>
#include <QPointer>
#include <QStyledItemDelegate>

#include "tevro/core/piece_map.h"

namespace tevro {

class ArtworkStore;
class TorrentEngine;
struct TorrentStatus;

// Covers by torrent id, asked once per progress step and kept in memory, and
// the piece maps of the painted rows.
class CoverCache : public QObject {
    Q_OBJECT
public:
    explicit CoverCache(ArtworkStore* store, QObject* parent = nullptr);
    const QImage* cover(const TorrentStatus& torrent);

    // Without an engine no piece map is asked for and every bar is a capsule.
    void setEngine(TorrentEngine* engine) { m_engine = engine; }
    // The last map fetched for the torrent (empty until one arrives); asks
    // for a fresh one when the last is 2 s old.
    const PieceMap& pieces(const TorrentStatus& torrent);

signals:
    void coverArrived();

private:
    struct Pieces {
        PieceMap map;
        qint64 fetched = 0; // ms since the epoch; 0: never
        bool inFlight = false;
    };
    void fetchPieces(const std::string& id);

    QPointer<ArtworkStore> m_store;
    TorrentEngine* m_engine = nullptr;
    std::map<std::string, std::optional<QImage>> m_covers;
    std::map<std::string, std::string> m_asked;
    std::map<std::string, Pieces> m_pieces;
};

// Name cell (cover, title, subtitle), progress cell (percentage and bar) and
// status cell (symbol and text) of the table.
class TorrentTableDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TorrentTableDelegate(CoverCache* covers, QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    CoverCache* m_covers;
};

} // namespace tevro
