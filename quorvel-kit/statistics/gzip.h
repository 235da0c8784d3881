#pragma once

// One gzip member (10-byte header, raw DEFLATE, CRC-32 and length) for the
// compressed statistics upload.

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace quorvel {

class Gzip {
public:
    static uint32_t crc32(std::string_view bytes);
    // Fails with zlib's message when the encoder fails.
    static std::expected<std::string, std::string> compress(std::string_view bytes);
};

} // namespace quorvel
