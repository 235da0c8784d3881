#include "tevro/bridge/event_queue.h"

namespace tevro::bridge {

void EventQueue::push(std::string type, std::string id, std::string name, std::string message) {
    m_events.push_back(
        TorrentEvent{std::move(type), std::move(id), std::move(name), std::move(message)});
    if (m_events.size() <= kLimit)
        return;
    // What the start set aside is said once: a burst of a large library's
    // other events never drops it.
    std::size_t dropped = 0;
    std::erase_if(m_events, [&](const TorrentEvent& e) {
        return e.type != "set_aside" && dropped < kDrop && ++dropped;
    });
}

std::vector<TorrentEvent> EventQueue::take() {
    std::vector<TorrentEvent> out(std::make_move_iterator(m_events.begin()),
                                  std::make_move_iterator(m_events.end()));
    m_events.clear();
    return out;
}

} // namespace tevro::bridge
