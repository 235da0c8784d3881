#pragma once

// The library's list as shown, kept between reads: computed whole when the
// filter, search or order changes, and after an engine change only for the
// rows it touched, so that a poll costs what changed, not the library's size.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "tevro/core/torrent_status.h"
#include "tevro/library/list_change.h"
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

    // How the list changed since it was made for the engine's `revision`
    // with the inputs of the last call: empty when it is that list; null
    // when that is not known (the list was made anew since, or changed twice).
    const ListChange* changeSince(std::uint64_t revision) const;
    // The set of ids listed, as one number (equal sets, equal numbers).
    std::size_t idsKey() const { return m_idsKey; }

private:
    bool follow(const TorrentEngine& engine);
    void remake(const TorrentEngine& engine, const LibrarySelection::Inputs& inputs);

    std::shared_ptr<std::vector<TorrentStatus>> m_list;
    // Each row's id hashed: rows are found without hashing every id again.
    std::vector<std::size_t> m_keys;
    std::size_t m_idsKey = 0;
    LibrarySelection::Inputs m_inputs;
    std::uint64_t m_revision = 0;
    const TorrentEngine* m_engine = nullptr;
    // The last follow: from the list of `m_changeFrom` to the one of `m_revision`.
    ListChange m_change;
    std::optional<std::uint64_t> m_changeFrom;
};

} // namespace tevro
