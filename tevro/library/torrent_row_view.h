#pragma once

// The library's list: one row per torrent across the whole width.

#include "tevro/library/library_item_view.h"

namespace tevro {

class TorrentRowView : public LibraryItemView {
    Q_OBJECT
public:
    static constexpr int kSpacing = 10;

    explicit TorrentRowView(QWidget* parent = nullptr);

protected:
    // Rows are all of one height, so a changed row is only repainted; the
    // list's own handling would lay out and repaint every row each time.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = {}) override;
};

} // namespace tevro
