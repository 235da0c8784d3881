#include "tevro/library/torrent_row_view.h"

#include "tevro/library/torrent_row_delegate.h"

namespace tevro {

TorrentRowView::TorrentRowView(QWidget* parent) : LibraryItemView(new TorrentRowDelegate, parent) {
    setViewMode(QListView::ListMode);
    setUniformItemSizes(true);
    setSpacing(kSpacing / 2);
    // Half the spacing already lies on each side of a row.
    setViewportMargins(kSidePadding - kSpacing / 2, 0, kSidePadding - kSpacing / 2, 0);
    setResizeMode(QListView::Adjust);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAccessibleName(QStringLiteral("Список торрентов"));
}

void TorrentRowView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                 const QList<int>& roles) {
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
}

} // namespace tevro
