#pragma once

// The pieces a file of a torrent touches, first to last (both 0 for an empty file).

#include <libtorrent/file_storage.hpp>

namespace tevro::bridge {

struct PieceSpan {
    int first = 0;
    int last = 0;

    static PieceSpan of(const lt::file_storage& files, int index) {
        lt::file_index_t f(index);
        std::int64_t size = files.file_size(f);
        if (size < 1)
            return {};
        std::int64_t offset = files.file_offset(f);
        std::int64_t length = files.piece_length();
        return {static_cast<int>(offset / length), static_cast<int>((offset + size - 1) / length)};
    }
};

} // namespace tevro::bridge
