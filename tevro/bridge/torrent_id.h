#pragma once

// A torrent's id: 40 lowercase hex digits of its best info-hash (the v2 hash
// cut to 20 bytes when there is one, else the v1 hash). The bridge fixes the id
// when it registers a torrent; later hash upgrades never change it.

#include <string>
#include <string_view>

#include <libtorrent/info_hash.hpp>

namespace tevro::bridge {

std::string torrentId(const lt::info_hash_t& hashes);

// True when the two share a v1 or a v2 hash (a v1 magnet and its hybrid torrent).
bool sameTorrent(const lt::info_hash_t& a, const lt::info_hash_t& b);

// 40 lowercase hex digits.
bool isTorrentId(std::string_view text);

} // namespace tevro::bridge
