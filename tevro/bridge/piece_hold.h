#pragma once

// Holds the rest of a torrent back while a streaming read waits for a piece.
// libtorrent keeps each peer's request queue seconds deep, and with anything
// else wanted (the rest of a reader's window included) the awaited piece
// queues behind those requests. While any reader of a torrent waits, only the
// pieces the waiting readers need next are wanted; every other piece not on
// disk is at priority 0, and the priorities readers set meanwhile are kept
// aside. The piece each reader reads next keeps its priority and the rest of
// what it needs waits one step lower, so peers ask for the awaited piece
// first. A second after the last waiting reader was served, every held piece
// gets its priority back and the whole torrent downloads again.
//
// Two more missing pieces, those right after what the readers need, stay
// wanted as keepers, replaced as they arrive, so peers have more to send
// than the few needed pieces. With every wanted piece on disk libtorrent
// would take the torrent for finished, announce it so, tell its peers it
// only uploads and drop its seeds, which a stream then waits a minute to get
// back: HoldGuard, on the network thread, wants a held piece again before
// that can happen, and the pieces it takes become keepers.

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
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
    // No hold stands: nothing for expire() to give back.
    bool empty();

    // For the network thread (no library calls, no wait on the calls above):
    // whether a hold stands on the torrent, and a held piece not in `have`
    // to want again, with its priority, when the torrent would otherwise finish.
    bool holds(const lt::torrent_handle& handle);
    std::optional<std::pair<lt::piece_index_t, lt::download_priority_t>>
    takeSpare(const lt::torrent_handle& handle, const lt::typed_bitfield<lt::piece_index_t>& have);

private:
    struct Held {
        lt::torrent_handle handle;
        std::map<const void*, std::vector<int>> reading; // each reader's next pieces
        std::set<const void*> waiting;
        std::set<int> needed;                         // union of the readers' next pieces
        std::map<int, lt::download_priority_t> aside; // held piece -> its priority
        std::set<int> keepers;                        // given back to stay unfinished
        std::set<int> dimmed; // needed, at kLeadPriority behind what readers read next
        Clock::time_point servedAt{};
    };

    static void giveBack(Held& held, const std::vector<int>& pieces);
    // The piece each reader reads next keeps its priority; the rest of what
    // readers need waits at kLeadPriority behind it, so a peer queues it
    // first. Pieces no longer needed are held again.
    static void order(Held& held);
    static std::set<int> heads(const Held& held);
    static constexpr lt::download_priority_t kLeadPriority{4};
    static bool wantsAny(const Held& held);
    static void keep(Held& held);
    // Up to `count` held pieces no reader needs and `usable` accepts, in the
    // order keepers are taken.
    static std::vector<int> ahead(const Held& held, std::size_t count,
                                  const std::function<bool(int)>& usable);
    static constexpr std::size_t kKeepers = 2;
    static void setNeeded(Held& held, const void* reader, const std::vector<int>& needed);

    // Offers the network thread the first held pieces after what the
    // readers need; the ones it took become keepers.
    void publish(const Held& held);
    void absorb(Held& held);
    static constexpr std::size_t kSpares = 4;
    struct Spares {
        std::vector<std::pair<int, lt::download_priority_t>> offered;
        std::vector<int> taken;
    };

    std::mutex m_mutex; // library calls run under it
    std::map<std::string, Held> m_torrents;
    std::mutex m_spareMutex; // taken after m_mutex or alone, never across a library call
    std::map<lt::torrent_handle, Spares> m_spares;
};

} // namespace tevro::bridge
