#pragma once

// The piece bar of one file of a torrent: the pieces from its first to its
// last, or a plain progress bar when the file's pieces do not fit the map.

#include <optional>

#include <QWidget>

#include "tevro/core/piece_map.h"
#include "tevro/core/torrent_file.h"

namespace tevro {

class FilePiecesBar : public QWidget {
    Q_OBJECT
public:
    explicit FilePiecesBar(QWidget* parent = nullptr);

    void set(PieceMap map, TorrentFile file);

    // The file's pieces within the map; nothing when the fallback bar shows.
    static std::optional<PieceRange> range(const PieceMap& map, const TorrentFile& file);
    static void paint(QPainter& painter, const QRectF& rect, const PieceMap& map,
                      const TorrentFile& file);
    // The accessible label and value of the bar for the file.
    static QString label(const PieceMap& map, const TorrentFile& file);
    static QString value(const PieceMap& map, const TorrentFile& file);

    QSize sizeHint() const override { return {120, 6}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PieceMap m_map;
    TorrentFile m_file;
};

} // namespace tevro
