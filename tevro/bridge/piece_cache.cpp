#include "tevro/bridge/piece_cache.h"

namespace tevro::bridge {

void PieceCache::wakeAll() {
    { std::lock_guard lock(m_mutex); }
    m_signal.notify_all();
}

PieceCache::Entry* PieceCache::find(const std::string& id, int piece) {
    auto it = m_entries.find({id, piece});
    return it == m_entries.end() ? nullptr : &it->second;
}

void PieceCache::insertWaiting(const std::string& id, int piece) {
    m_entries.try_emplace({id, piece});
}

void PieceCache::erase(const std::string& id, int piece) {
    auto it = m_entries.find({id, piece});
    if (it == m_entries.end())
        return;
    m_total -= it->second.size;
    m_entries.erase(it);
}

bool PieceCache::deliver(const std::string& id, int piece, boost::shared_array<char> data, int size,
                         bool failed) {
    bool known = false;
    {
        std::lock_guard lock(m_mutex);
        if (Entry* e = find(id, piece)) {
            known = !e->ready;
            m_total -= e->size;
            e->ready = true;
            e->failed = failed;
            e->data = failed ? boost::shared_array<char>() : std::move(data);
            e->size = failed ? 0 : size;
            e->lastUse = Clock::now();
            m_total += e->size;
        }
        trim();
    }
    m_signal.notify_all();
    return known;
}

void PieceCache::forget(const std::string& id) {
    std::lock_guard lock(m_mutex);
    for (auto it = m_entries.lower_bound({id, INT32_MIN});
         it != m_entries.end() && it->first.first == id;) {
        m_total -= it->second.size;
        it = m_entries.erase(it);
    }
}

std::int64_t PieceCache::totalSize() {
    std::lock_guard lock(m_mutex);
    return m_total;
}

void PieceCache::trim() {
    auto cutoff = Clock::now() - std::chrono::seconds(1);
    while (m_total > kCapacity) {
        auto oldest = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            const Entry& e = it->second;
            if (!e.ready || e.lastUse > cutoff)
                continue;
            if (oldest == m_entries.end() || e.lastUse < oldest->second.lastUse)
                oldest = it;
        }
        if (oldest == m_entries.end())
            break;
        m_total -= oldest->second.size;
        m_entries.erase(oldest);
    }
}

} // namespace tevro::bridge
