#pragma once

// The progress bar of a torrent: a capsule filled to the progress fraction,
// which becomes a bar of piece states once the torrent's piece map has been
// fetched (never while the torrent is checking). While shown, the map is
// fetched again every 2 s; a reused bar drops the old torrent's pieces at once.
// Accessible name "Проверено"/"Загружено" (capsule) or "Части файла"
// (pieces), description the percentage or the pieces' summary.

#include <QWidget>

#include "tevro/core/piece_map.h"
#include "tevro/core/torrent_status.h"
#include "tevro/library/piece_map_loader.h"

namespace tevro {

class TorrentEngine;

class TransferProgress : public QWidget {
    Q_OBJECT
public:
    // Without an engine the bar takes the one of LibraryContext.
    explicit TransferProgress(qreal height = 5, TorrentEngine* engine = nullptr,
                              QWidget* parent = nullptr);

    void setTorrent(const TorrentStatus& torrent);
    const TorrentStatus& torrent() const { return m_torrent; }
    const PieceMap& map() const { return m_loader.map(); }
    // Whether the piece bar (rather than the capsule) is drawn now.
    bool showsPieces() const;

    // Which bar a torrent gets with a map fetched for `mapId`.
    static bool showsPieces(const TorrentStatus& torrent, const PieceMap& map,
                            const std::string& mapId);
    // The capsule or the piece bar into `rect`.
    static void paint(QPainter& painter, const QRectF& rect, const TorrentStatus& torrent,
                      const PieceMap& map, const std::string& mapId);
    static void paintCapsule(QPainter& painter, const QRectF& rect, double fraction);
    static QString capsuleLabel(const TorrentStatus& torrent);

    QSize sizeHint() const override { return {120, height()}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateTexts();

    PieceMapLoader m_loader;
    TorrentStatus m_torrent;
};

} // namespace tevro
