#pragma once

// The library's list: one row per torrent across the whole width.

#include "tevro/library/library_item_view.h"

namespace tevro {

class TorrentRowView : public LibraryItemView {
    Q_OBJECT
public:
    static constexpr int kSpacing = 8;

    explicit TorrentRowView(QWidget* parent = nullptr);
};

} // namespace tevro
