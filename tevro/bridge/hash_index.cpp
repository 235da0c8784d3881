#include "tevro/bridge/hash_index.h"

namespace tevro::bridge {

namespace {

template <class Map, class Key> void dropIfOwned(Map& map, const Key& key, const std::string& id) {
    if (auto it = map.find(key); it != map.end() && it->second == id)
        map.erase(it);
}

} // namespace

void HashIndex::add(const std::string& id, const lt::info_hash_t& hashes) {
    if (hashes.has_v1())
        m_v1.try_emplace(hashes.v1, id);
    if (hashes.has_v2())
        m_v2.try_emplace(hashes.v2, id);
}

void HashIndex::remove(const std::string& id, const lt::info_hash_t& hashes) {
    if (hashes.has_v1())
        dropIfOwned(m_v1, hashes.v1, id);
    if (hashes.has_v2())
        dropIfOwned(m_v2, hashes.v2, id);
}

std::optional<std::string> HashIndex::find(const lt::info_hash_t& hashes) const {
    if (hashes.has_v1())
        if (auto it = m_v1.find(hashes.v1); it != m_v1.end())
            return it->second;
    if (hashes.has_v2())
        if (auto it = m_v2.find(hashes.v2); it != m_v2.end())
            return it->second;
    return std::nullopt;
}

} // namespace tevro::bridge
