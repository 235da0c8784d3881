#pragma once

// The tile of one torrent in the library's grid: the picture with its status
// badge, quality tag and selection check, a thin progress bar, the title and
// caption, a line of size, progress and rate, the checking metrics while
// checking, and the watch, pause and details actions. The grid's delegate
// paints cards with it; the parts' layout gives clicks, tooltips and the
// accessible children of each card.

#include "tevro/core/torrent_status.h"
#include "tevro/library/library_item_paint.h"
#include "tevro/library/painted_element.h"

class QPainter;

namespace tevro {

class TorrentCard {
public:
    TorrentCard() = delete;

    static constexpr qreal kAspect = 1.6;
    static constexpr qreal kRadius = 13;
    static constexpr qreal kPadding = 14;
    static constexpr qreal kProgressHeight = 5;

    // The card's height at `width`: more while checking, and more again
    // when the checking metrics wrap to two lines.
    static qreal cardHeight(qreal width, const TorrentStatus& torrent);
    static void paint(QPainter& painter, const QRectF& rect, const LibraryItemPaint& item);
    static PaintedElements elements(const QRectF& rect, const LibraryItemPaint& item);
};

} // namespace tevro
