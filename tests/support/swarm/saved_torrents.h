#pragma once

// A state folder holding many saved torrents, written directly as the bridge
// saves them (resume and presence files of complete one-file torrents whose
// data is on disk), so that thousands take seconds rather than a session's
// adds and saves.

#include <filesystem>
#include <string>
#include <vector>

namespace tevro::swarm {

// How a torrent was when it was saved: running, held by libtorrent's queue
// (paused but still auto-managed, as most of a large library is), or paused
// by the user.
enum class SavedAs { running, queued, paused };

// Writes `count` torrents named "<prefix>.<n>" into `stateDir`/resume, their
// data under `downloads`; returns their ids in the order written. Paused
// ones are neither checked at the next start nor changed by it.
std::vector<std::string> writeSavedTorrents(const std::filesystem::path& stateDir,
                                            const std::filesystem::path& downloads, int count,
                                            SavedAs as = SavedAs::running,
                                            const std::string& prefix = "Saved");

} // namespace tevro::swarm
