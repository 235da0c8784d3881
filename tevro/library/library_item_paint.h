#pragma once

// Everything a library item (card or list row) draws for one torrent, as
// handed to the painting functions that a widget and its delegate share.

#include <QImage>

#include "tevro/core/piece_map.h"
#include "tevro/core/torrent_status.h"
#include "tevro/library/library_item_text.h"

namespace tevro {

struct LibraryItemPaint {
    const TorrentStatus& torrent;
    const LibraryItemText& text;
    bool selected = false;
    bool hovered = false;
    const QImage& artwork; // null: the pattern cover shows
    const PieceMap& map;   // this torrent's pieces; empty until fetched
};

} // namespace tevro
