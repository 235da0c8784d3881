#include "tevro/bridge/event_queue.h"

namespace tevro::bridge {

void EventQueue::push(std::string type, std::string id, std::string name, std::string message) {
    m_events.push_back(
        TorrentEvent{std::move(type), std::move(id), std::move(name), std::move(message)});
    if (m_events.size() > kLimit)
        m_events.erase(m_events.begin(), m_events.begin() + kDrop);
}

std::vector<TorrentEvent> EventQueue::take() {
    std::vector<TorrentEvent> out(std::make_move_iterator(m_events.begin()),
                                  std::make_move_iterator(m_events.end()));
    m_events.clear();
    return out;
}

} // namespace tevro::bridge
