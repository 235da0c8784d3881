#pragma once

// One torrent in the library's list: a small picture, the title block with
// status and progress bar, a column of numbers, the play button and a menu
// of the other actions. The painting and the parts' layout are shared with
// the list's delegate.

#include <functional>

#include "tevro/core/torrent_status.h"
#include "tevro/library/artwork_loader.h"
#include "tevro/library/library_item_paint.h"
#include "tevro/library/painted_widget.h"
#include "tevro/library/piece_map_loader.h"

class QMenu;

namespace tevro {

class ArtworkStore;
class TorrentEngine;

class TorrentListRow : public PaintedWidget {
    Q_OBJECT
public:
    static constexpr qreal kPadding = 12;
    static constexpr qreal kPictureWidth = 142;
    static constexpr qreal kPictureHeight = 90;
    static constexpr qreal kHeight = kPictureHeight + 2 * kPadding;
    static constexpr qreal kRadius = 12;

    explicit TorrentListRow(ArtworkStore* store = nullptr, TorrentEngine* engine = nullptr,
                            QWidget* parent = nullptr);

    void setTorrent(const TorrentStatus& torrent);
    void setSelected(bool selected);
    const TorrentStatus& torrent() const { return m_torrent; }

    static void paint(QPainter& painter, const QRectF& rect, const LibraryItemPaint& item);
    static PaintedElements elements(const QRectF& rect, const LibraryItemPaint& item);
    // The actions menu: the resume wording (pause) and "Файлы и сведения" (details).
    static QMenu* menu(QWidget* parent, const LibraryItemText& text, std::function<void()> pause,
                       std::function<void()> details);

    PaintedElements elements() const override;
    QSize sizeHint() const override { return {720, int(kHeight)}; }
    QSize minimumSizeHint() const override { return {420, int(kHeight)}; }

signals:
    void selectRequested();
    void playRequested();
    void pauseRequested();
    void detailsRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
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
};

} // namespace tevro
