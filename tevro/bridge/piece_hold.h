#pragma once

// Holds the rest of a torrent back while a streaming read waits for a piece.
// libtorrent keeps each peer's request queue seconds deep, and with anything
// else wanted (the rest of a reader's window included) the awaited piece
// queues behind those requests. While any reader of a torrent waits, only the
// pieces the waiting readers need next are wanted; every other piece not on
// disk is at priority 0, and the priorities readers set meanwhile are kept
// aside. A second after the last waiting reader was served, every held piece
// gets its priority back and the whole torrent downloads again.
//
// Two more missing pieces, those right after what the readers need, stay
// wanted as keepers, replaced as they arrive: with every wanted piece on disk
// libtorrent would take the torrent for finished, announce it so and drop its
// connections to seeds, which a stream then waits a minute to get back.

#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <libtorrent/download_priority.hpp>
#include <libtorrent/torrent_handle.hpp>

namespace tevro::bridge {

class PieceHold {
public:
    using Clock = std::chrono::steady_clock;
    using Priorities = std::vector<std::pair<lt::piece_index_t, lt::download_priority_t>>;

    // How long a hold outlives its last waiting reader, so a reader that
    // reads on and waits again does not let the rest of the torrent into
    // the request queues in between.
    static constexpr std::chrono::milliseconds kGrace{1000};

    // `reader` waits for the first of `needed`, the pieces it reads next.
    void wait(const lt::torrent_handle& handle, const std::string& id, const void* reader,
              const std::vector<int>& needed);
    void served(const std::string& id, const void* reader);
    // Applies piece priorities, keeping them aside for held pieces; a
    // reader passes the pieces it reads next, which a hold leaves wanted.
    void prioritize(const lt::torrent_handle& handle, const std::string& id,
                    const Priorities& changes, const void* reader = nullptr,
                    const std::vector<int>& needed = {});
    // A piece of the torrent behind `handle` arrived: keepers that did are replaced.
    void pieceFinished(const lt::torrent_handle& handle);
    // A closed reader needs nothing more.
    void forget(const std::string& id, const void* reader);
    // Gives back holds whose readers were served more than kGrace ago (or all).
    void expire(Clock::time_point now);
    void releaseAll() { expire(Clock::time_point::max()); }

private:
    struct Held {
        lt::torrent_handle handle;
        std::map<const void*, std::vector<int>> reading; // each reader's next pieces
        std::set<const void*> waiting;
        std::set<int> needed;                         // union of the readers' next pieces
        std::map<int, lt::download_priority_t> aside; // held piece -> its priority
        std::set<int> keepers;                        // given back to stay unfinished
        Clock::time_point servedAt{};
    };

    static void giveBack(Held& held, const std::vector<int>& pieces);
    static bool wantsAny(const Held& held);
    static void keep(Held& held);
    static constexpr std::size_t kKeepers = 2;
    static void setNeeded(Held& held, const void* reader, const std::vector<int>& needed);

    std::mutex m_mutex; // taken alone; library calls run under it
    std::map<std::string, Held> m_torrents;
};

} // namespace tevro::bridge
