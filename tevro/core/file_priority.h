#pragma once

// The four download priorities Tevro sets on files, valued on libtorrent's scale.

#include <array>
#include <optional>

namespace tevro {

enum class FilePriority : int { skip = 0, low = 1, normal = 4, high = 7 };

inline constexpr std::array<FilePriority, 4> kAllFilePriorities = {
    FilePriority::skip, FilePriority::low, FilePriority::normal, FilePriority::high};

inline constexpr int rawValue(FilePriority p) {
    return static_cast<int>(p);
}

inline constexpr std::optional<FilePriority> filePriorityFromRaw(long long raw) {
    for (FilePriority p : kAllFilePriorities)
        if (rawValue(p) == raw)
            return p;
    return std::nullopt;
}

} // namespace tevro
