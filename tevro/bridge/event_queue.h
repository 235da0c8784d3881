#pragma once

// The events waiting for the engine's next poll. Not locked: the session
// guards it with its state lock.

#include <deque>
#include <string>
#include <vector>

#include "tevro/core/torrent_event.h"

namespace tevro::bridge {

class EventQueue {
public:
    // A burst past 200 drops the oldest 100, keeping the newest; "set_aside"
    // events are never dropped.
    static constexpr std::size_t kLimit = 200;
    static constexpr std::size_t kDrop = 100;

    void push(std::string type, std::string id, std::string name, std::string message);
    std::vector<TorrentEvent> take();
    std::size_t size() const { return m_events.size(); }

private:
    std::deque<TorrentEvent> m_events;
};

} // namespace tevro::bridge
