#include "tevro/bridge/torrent_id.h"

namespace tevro::bridge {

std::string torrentId(const lt::info_hash_t& hashes) {
    static const char kDigits[] = "0123456789abcdef";
    const char* bytes = hashes.has_v2() ? hashes.v2.data() : hashes.v1.data();
    std::string out;
    out.reserve(40);
    for (int i = 0; i < 20; ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

bool sameTorrent(const lt::info_hash_t& a, const lt::info_hash_t& b) {
    if (a.has_v1() && b.has_v1() && a.v1 == b.v1)
        return true;
    return a.has_v2() && b.has_v2() && a.v2 == b.v2;
}

bool isTorrentId(std::string_view text) {
    if (text.size() != 40)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

} // namespace tevro::bridge
