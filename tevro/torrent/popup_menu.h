#pragma once

// Menus of the torrent views open with QMenu::popup, never with a nested
// event loop: the window may drop a view (another torrent chosen from a
// server, a removal) while its menu is open, and nothing of the view may be
// on the stack then.

class QAbstractButton;
class QMenu;

namespace tevro {

// Opens `menu` below `button` when it is clicked.
void popUpOnClick(QAbstractButton* button, QMenu* menu);

} // namespace tevro
