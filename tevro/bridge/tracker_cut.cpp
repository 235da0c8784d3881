#include "tevro/bridge/tracker_cut.h"

#include <algorithm>
#include <vector>

#include <libtorrent/announce_entry.hpp>
#include <libtorrent/torrent_info.hpp>

namespace tevro::bridge {

void cutTrackers(lt::add_torrent_params& params) {
    std::size_t room = kMaxTrackers;
    if (params.ti) {
        std::vector<lt::announce_entry> own = params.ti->trackers();
        if (own.size() > kMaxTrackers) {
            own.resize(kMaxTrackers);
            params.ti->clear_trackers();
            for (const lt::announce_entry& e : own)
                params.ti->add_tracker(e.url, e.tier, lt::announce_entry::source_torrent);
        }
        // Overridden, the file's trackers are not announced to.
        if (!(params.flags & lt::torrent_flags::override_trackers))
            room -= own.size();
    }
    if (params.trackers.size() > room)
        params.trackers.resize(room);
    if (params.tracker_tiers.size() > room)
        params.tracker_tiers.resize(room);
}

} // namespace tevro::bridge
