#pragma once

// Every info-hash a registered torrent is known by (v1 and v2) to its id, so
// an add finds the torrent it duplicates without walking the library.

#include <optional>
#include <string>
#include <unordered_map>

#include <libtorrent/info_hash.hpp>

namespace tevro::bridge {

class HashIndex {
public:
    // Files `hashes` under `id`; a hash already filed under another id keeps it.
    void add(const std::string& id, const lt::info_hash_t& hashes);
    // Drops the hashes filed under `id`.
    void remove(const std::string& id, const lt::info_hash_t& hashes);
    // The id of a torrent sharing any hash with `hashes`.
    std::optional<std::string> find(const lt::info_hash_t& hashes) const;
    std::size_t size() const { return m_v1.size() + m_v2.size(); }

private:
    std::unordered_map<lt::sha1_hash, std::string> m_v1;
    std::unordered_map<lt::sha256_hash, std::string> m_v2;
};

} // namespace tevro::bridge
