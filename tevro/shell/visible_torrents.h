#pragma once

// The library's list as shown, kept between reads: computed whole when the
// filter, search or order changes, and after an engine change only for the
// rows it touched, so that a poll costs what changed, not the library's size.

#include <cstdint>
#include <memory>
#include <vector>

#include "tevro/core/torrent_status.h"
#include "tevro/shell/library_selection.h"

namespace tevro {

class TorrentEngine;

class VisibleTorrents {
public:
    // The list for these inputs and the engine's current torrents. The vector
    // stays valid until the next call that recomputes it; hold the pointer
    // of shared() across calls that may.
    const std::vector<TorrentStatus>& get(const TorrentEngine& engine,
                                          const LibrarySelection::Inputs& inputs);
    std::shared_ptr<const std::vector<TorrentStatus>>
    shared(const TorrentEngine& engine, const LibrarySelection::Inputs& inputs);

private:
    bool follow(const TorrentEngine& engine);

    std::shared_ptr<std::vector<TorrentStatus>> m_list;
    LibrarySelection::Inputs m_inputs;
    std::uint64_t m_revision = 0;
    const TorrentEngine* m_engine = nullptr;
};

} // namespace tevro
