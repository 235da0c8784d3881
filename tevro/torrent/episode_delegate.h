#pragma once

// Paints an episode as a card (picture with play and progress badges, piece
// bar, title, quality and size, download toggle) or, in the compact layout, as
// a row; reports clicks on the picture (play) and on the toggle.

#include <QStyledItemDelegate>

#include "tevro/core/torrent_file.h"

namespace tevro {

class EpisodeDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit EpisodeDelegate(QObject* parent = nullptr);

    void setCompact(bool compact) { m_compact = compact; }
    bool compact() const { return m_compact; }
    // The cell size: cards share the width of a grid column, rows the whole width.
    void setItemSize(QSize size) { m_size = size; }

    // Where the picture and the toggle of an item drawn in `rect` lie.
    QRect pictureRect(const QRect& rect) const;
    QRect toggleRect(const QRect& rect) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    // The toggle names what a click does ("Скачивать", "Не скачивать"); a card
    // elsewhere shows its file name, a row nothing.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    static QString toggleToolTip(const TorrentFile& file);

    // The gap around a card or row (the grid's spacing).
    static constexpr int kCardGap = 18;
    static constexpr int kRowGap = 10;
    // The height of a card's lower part below the picture.
    static constexpr int kCardDetails = 5 + 13 + 17 + 9 + 13 + 13;
    static constexpr int kRowHeight = 74 + 20;

signals:
    void playRequested(const tevro::TorrentFile& file);
    void toggleRequested(const tevro::TorrentFile& file);

private:
    void paintCard(QPainter& p, const QRect& r, const QModelIndex& index) const;
    void paintRow(QPainter& p, const QRect& r, const QModelIndex& index) const;
    void paintToggle(QPainter& p, const QRect& r, const TorrentFile& file) const;

    bool m_compact = false;
    QSize m_size{240, 240};
};

} // namespace tevro
