#include "quorvel-kit/statistics/gzip.h"

#include <array>

#include <zlib.h>

namespace quorvel {

namespace {

const std::array<uint32_t, 256>& crcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void putLittle(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(char((value >> (8 * i)) & 0xFF));
}

} // namespace

uint32_t Gzip::crc32(std::string_view bytes) {
    const auto& table = crcTable();
    uint32_t reg = 0xFFFFFFFFu;
    for (unsigned char b : bytes)
        reg = table[(reg ^ b) & 0xFF] ^ (reg >> 8);
    return reg ^ 0xFFFFFFFFu;
}

std::expected<std::string, std::string> Gzip::compress(std::string_view bytes) {
    z_stream z{};
    // Negative window bits: a raw DEFLATE stream, the header is ours.
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return std::unexpected(std::string(z.msg ? z.msg : "deflateInit2 failed"));
    std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
    size_t header = out.size();
    out.resize(header + deflateBound(&z, uLong(bytes.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data() + header);
    z.avail_out = uInt(out.size() - header);
    int rc = deflate(&z, Z_FINISH);
    std::string error = z.msg ? z.msg : "deflate failed";
    size_t produced = z.total_out;
    deflateEnd(&z);
    if (rc != Z_STREAM_END)
        return std::unexpected(error);
    out.resize(header + produced);
    putLittle(out, crc32(bytes));
    putLittle(out, uint32_t(bytes.size() & 0xFFFFFFFFu));
    return out;
}

} // namespace quorvel
