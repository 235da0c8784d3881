#pragma once

// One torrent in the library's list: a small picture, the title block with
// status and progress bar, a column of numbers, the play button and a menu
// of the other actions. The list's delegate paints rows with it; the parts'
// layout gives clicks, tooltips and the accessible children of each row.

#include <functional>

#include "tevro/core/torrent_status.h"
#include "tevro/library/library_item_paint.h"
#include "tevro/library/painted_element.h"

class QMenu;
class QPainter;
class QWidget;

namespace tevro {

class TorrentListRow {
public:
    TorrentListRow() = delete;

    static constexpr qreal kPadding = 12;
    static constexpr qreal kPictureWidth = 142;
    static constexpr qreal kPictureHeight = 90;
    static constexpr qreal kHeight = kPictureHeight + 2 * kPadding;
    static constexpr qreal kRadius = 12;

    static void paint(QPainter& painter, const QRectF& rect, const LibraryItemPaint& item);
    static PaintedElements elements(const QRectF& rect, const LibraryItemPaint& item);
    // The actions menu: the resume wording (pause) and "Файлы и сведения" (details).
    static QMenu* menu(QWidget* parent, const LibraryItemText& text, std::function<void()> pause,
                       std::function<void()> details);
};

} // namespace tevro
