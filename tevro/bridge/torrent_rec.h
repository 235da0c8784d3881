#pragma once

// What the session keeps about one registered torrent, under its state lock.

#include <cstdint>
#include <set>
#include <string>

#include <libtorrent/info_hash.hpp>
#include <libtorrent/torrent_handle.hpp>

#include "tevro/bridge/status_rows.h"

namespace tevro::bridge {

struct TorrentRec {
    lt::torrent_handle handle;
    // Every hash the torrent was known by, so a hybrid .torrent and its v1
    // magnet are found to be the same torrent.
    lt::info_hash_t hashes;
    std::set<int> present;   // files known to have been complete on disk
    std::string missingText; // non-empty: flagged missing until an action clears it
    // Non-empty: stopped by a full disk until resumed; later errors of the
    // torrent are that disk's doing and say nothing new.
    std::string diskFullText;
    int recheckAttempts = 0;       // automatic rechecks after read errors, at most 3
    std::int64_t scannedDone = -1; // bytes done when the present set was last grown
    bool isPrivate = false;
    bool applied = false; // the tracker rule has run
    // Per-torrent rate limits as last set (bytes/s, below 1 unlimited).
    int downloadLimit = -1;
    int uploadLimit = -1;
    // The session's own values as the torrent's status row last showed them.
    StatusRows::Source shown;
    StatusRows::Slot row; // where that row is kept
    // Restored as finished: the start's check finding it whole again is no
    // download finishing.
    bool finishedWhenSaved = false;
    // The save asked for once that check found it whole: written only if it
    // would restore something else than the file already does.
    bool savedMayStand = false;
    // Not paused as last seen: its active and seeding times count up, which
    // the library's state updates do not report.
    bool counting = true;
};

} // namespace tevro::bridge
