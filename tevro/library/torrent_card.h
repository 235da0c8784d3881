#pragma once

// The tile of one torrent in the library's grid: the picture with its status
// badge, quality tag and selection check, a thin progress bar, the title and
// caption, a line of size, progress and rate, the checking metrics while
// checking, and the watch, pause and details actions. The painting and the
// parts' layout are shared with the grid's delegate.

#include <QImage>

#include "tevro/core/torrent_status.h"
#include "tevro/library/artwork_loader.h"
#include "tevro/library/library_item_paint.h"
#include "tevro/library/painted_widget.h"
#include "tevro/library/piece_map_loader.h"

namespace tevro {

class ArtworkStore;
class TorrentEngine;

class TorrentCard : public PaintedWidget {
    Q_OBJECT
public:
    static constexpr qreal kAspect = 1.6;
    static constexpr qreal kRadius = 13;
    static constexpr qreal kPadding = 14;
    static constexpr qreal kProgressHeight = 5;

    explicit TorrentCard(ArtworkStore* store = nullptr, TorrentEngine* engine = nullptr,
                         QWidget* parent = nullptr);

    void setTorrent(const TorrentStatus& torrent);
    void setSelected(bool selected);
    const TorrentStatus& torrent() const { return m_torrent; }
    const LibraryItemText& text() const { return m_text; }

    // The card's height at `width`.
    static qreal cardHeight(qreal width, const TorrentStatus& torrent);
    static void paint(QPainter& painter, const QRectF& rect, const LibraryItemPaint& item);
    static PaintedElements elements(const QRectF& rect, const LibraryItemPaint& item);

    PaintedElements elements() const override;
    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    void selectRequested();
    void playRequested();
    void pauseRequested();
    void detailsRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void activate(const PaintedElement& element) override;

private:
    LibraryItemPaint item() const;

    ArtworkLoader m_artwork;
    PieceMapLoader m_pieces;
    TorrentStatus m_torrent;
    LibraryItemText m_text;
    bool m_selected = false;
    bool m_hovered = false;
};

// Emits the signal of a card or row action.
template <class Item> void emitAction(Item* item, PaintedElement::Action action) {
    switch (action) {
    case PaintedElement::Action::select:
        emit item->selectRequested();
        break;
    case PaintedElement::Action::play:
        emit item->playRequested();
        break;
    case PaintedElement::Action::pause:
        emit item->pauseRequested();
        break;
    case PaintedElement::Action::details:
        emit item->detailsRequested();
        break;
    default:
        break;
    }
}

} // namespace tevro
