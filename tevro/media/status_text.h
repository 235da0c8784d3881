#pragma once

// What the user reads for a torrent's state: a short Russian status text, the
// name of its status symbol and the title of the resume command for a group
// of torrents. Pure functions, so every view words the same torrent alike.

#include <string>
#include <vector>

#include "tevro/core/torrent_status.h"

namespace tevro {

std::string statusText(const TorrentStatus& torrent);
// A system symbol name such as "arrow.down.circle.fill".
std::string statusSymbol(const TorrentStatus& torrent);
// "Перезапустить" when every torrent's files are missing, "Запустить" when
// some are, else "Возобновить" (also for no torrents).
std::string resumeTitle(const std::vector<TorrentStatus>& torrents);

} // namespace tevro
