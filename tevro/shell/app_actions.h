#pragma once

// The two ways of adding a torrent that the menus and the library header
// share: an open panel for ".torrent" files and the magnet sheet prefilled
// from the clipboard.

#include <string>
#include <vector>

class QWidget;

namespace tevro {

class MainUIState;
class TorrentEngine;

namespace AppActions {

// Runs the open panel (several ".torrent" files, starting in Downloads) and
// queues the chosen files in one change of the pending opens.
void openTorrentPanel(TorrentEngine& engine, QWidget* parent = nullptr);
// Appends file URLs to the pending opens in one change; none changes nothing.
void queueFiles(TorrentEngine& engine, const std::vector<std::string>& urls);
// The clipboard text when it begins with "magnet:", else "".
std::string magnetFromClipboard();
// Shows the magnet sheet with the clipboard's link, or empty.
void openMagnet(MainUIState& ui);

} // namespace AppActions

} // namespace tevro
