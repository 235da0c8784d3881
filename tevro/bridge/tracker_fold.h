#pragma once

// One tracker entry's report: its endpoints and both info-hash versions folded
// into one status, message, failure count, swarm counts and next announce.

#include <cstdint>
#include <string>

#include <libtorrent/announce_entry.hpp>
#include <libtorrent/time.hpp>

namespace tevro::bridge {

struct TrackerFold {
    std::string status = "idle"; // updating, working, error, contacted, idle
    std::string message;
    std::int64_t fails = 0;
    std::int64_t seeds = -1;
    std::int64_t peers = -1;
    std::int64_t downloaded = -1;
    std::int64_t nextAnnounce = -1; // whole seconds, -1 when none lies ahead

    static TrackerFold of(const lt::announce_entry& entry, lt::time_point now);
};

} // namespace tevro::bridge
