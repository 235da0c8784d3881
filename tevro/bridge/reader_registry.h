#pragma once

// The open streaming readers of a session, and the gate their calls pass
// through. Readers hold it shared, so a reader closed after its session is
// gone still finds it; once the session shuts the gate every reader is
// cancelled and no reader call touches the library again.

#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include <libtorrent/torrent_handle.hpp>

#include "tevro/bridge/piece_hold.h"

namespace tevro::bridge {

class PieceCache;
class StreamReader;

class ReaderRegistry {
public:
    void add(StreamReader* reader);
    void remove(StreamReader* reader);

    // The handle and waiting piece of an open reader of this file that is
    // blocked on a piece.
    std::optional<std::pair<lt::torrent_handle, int>> waitingPiece(const std::string& id, int file);

    // A reader call inside the bridge: enter() fails once the gate is shut.
    class Call {
    public:
        explicit Call(ReaderRegistry& registry);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;
        explicit operator bool() const { return m_entered; }

    private:
        ReaderRegistry& m_registry;
        bool m_entered;
    };

    // Shuts the gate: cancels every open reader, wakes the blocked ones and
    // waits until no reader call is inside the bridge.
    void shutDown(PieceCache& cache);

    // What waiting readers hold back, per torrent.
    PieceHold& hold() { return m_hold; }

private:
    bool enter();
    void leave();

    std::mutex m_mutex;
    std::set<StreamReader*> m_readers;
    std::condition_variable m_idle;
    int m_calls = 0;
    bool m_shut = false;
    PieceHold m_hold;
};

} // namespace tevro::bridge
