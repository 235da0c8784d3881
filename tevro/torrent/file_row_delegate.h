#pragma once

// Paints the cells of a file tree row: the tri-state check mark, the kind
// icon and name (dimmed when not downloaded), the progress bar with its
// percentage, and the priority word. No widget per row.

#include <QStyledItemDelegate>

#include "tevro/core/piece_map.h"

namespace tevro {

class FileRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit FileRowDelegate(QObject* parent = nullptr);

    // The torrent's piece map, for the files' piece bars.
    void setPieceMap(PieceMap map) { m_pieceMap = std::move(map); }
    const PieceMap& pieceMap() const { return m_pieceMap; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    void paintCheck(QPainter* painter, const QStyleOptionViewItem& option,
                    const QModelIndex& index) const;
    void paintProgress(QPainter* painter, const QStyleOptionViewItem& option,
                       const QModelIndex& index) const;

    PieceMap m_pieceMap;
};

} // namespace tevro
