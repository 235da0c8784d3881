#include "tevro/bridge/tracker_fold.h"

#include <algorithm>
#include <chrono>

namespace tevro::bridge {

TrackerFold TrackerFold::of(const lt::announce_entry& entry, lt::time_point now) {
    TrackerFold out;
    bool updating = false, working = false, contacted = false;
    std::string error, message;
    for (const auto& endpoint : entry.endpoints) {
        for (const auto& ih : endpoint.info_hashes) {
            out.fails = std::max<std::int64_t>(out.fails, ih.fails);
            out.seeds = std::max<std::int64_t>(out.seeds, ih.scrape_complete);
            out.peers = std::max<std::int64_t>(out.peers, ih.scrape_incomplete);
            out.downloaded = std::max<std::int64_t>(out.downloaded, ih.scrape_downloaded);
            if (error.empty() && ih.last_error)
                error = ih.last_error.message();
            if (message.empty() && !ih.message.empty())
                message = ih.message;
            if (ih.next_announce > now) {
                auto secs = std::chrono::duration_cast<std::chrono::seconds>(ih.next_announce - now)
                                .count();
                if (out.nextAnnounce < 0 || secs < out.nextAnnounce)
                    out.nextAnnounce = secs;
            }
            updating = updating || ih.updating;
            working = working || (ih.fails == 0 && ih.start_sent);
            contacted = contacted || ih.fails > 0 || ih.start_sent;
        }
    }
    out.message = !error.empty() ? error : message;
    if (updating)
        out.status = "updating";
    else if (working)
        out.status = "working";
    else if (out.fails > 0)
        out.status = "error";
    else if (contacted)
        out.status = "contacted";
    return out;
}

} // namespace tevro::bridge
