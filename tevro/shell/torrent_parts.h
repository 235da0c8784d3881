#pragma once

// Fills the main view's parts with the torrent views: the add and magnet
// sheets, the limits sheet, the detail pane and the contents page, bound to the
// window model (current tab, contents switches) and the player.

#include "tevro/shell/main_view.h"

namespace tevro {

class MainUIState;
class PlayerModel;
class TorrentEngine;

void addTorrentParts(MainView::Parts& parts, TorrentEngine& engine, MainUIState& ui,
                     PlayerModel* player);

} // namespace tevro
