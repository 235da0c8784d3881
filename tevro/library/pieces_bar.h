#pragma once

// A thin bar of coloured columns showing the state of a torrent's pieces, or
// of a run of them. The map is reduced to at most one column per pixel before
// drawing, so a torrent of many pieces costs no more than the bar's width.
// The caller sets the height; the bar takes the width it is given.
// Accessible name "Части файла", description the map's summary.

#include <optional>

#include <QImage>
#include <QWidget>

#include "tevro/core/piece_map.h"

namespace tevro {

class PiecesBar : public QWidget {
    Q_OBJECT
public:
    explicit PiecesBar(QWidget* parent = nullptr);

    void setMap(PieceMap map);
    void setRange(std::optional<PieceRange> range);
    const PieceMap& map() const { return m_map; }
    const std::optional<PieceRange>& range() const { return m_range; }

    // The colour of each piece state, and the track behind the columns
    // (the waiting colour at 0.35).
    static QColor color(PieceState state);
    static QColor trackColor();

    // The bar of `map` over `range` in `rect`: track, columns, rounded clip.
    static void paint(QPainter& painter, const QRectF& rect, const PieceMap& map,
                      const std::optional<PieceRange>& range);
    // The same drawn once into a picture of `size` logical pixels.
    static QImage image(const PieceMap& map, const std::optional<PieceRange>& range, QSize size,
                        qreal devicePixelRatio = 1.0);

    QSize sizeHint() const override { return {120, 6}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void changed();

    PieceMap m_map;
    std::optional<PieceRange> m_range;
    QImage m_cache; // drawn once per map, range and size
};

} // namespace tevro
