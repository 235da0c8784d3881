#include "tevro/torrent/priority_text.h"

namespace tevro {

std::string priorityTitle(FilePriority priority) {
    switch (priority) {
    case FilePriority::skip:
        return "Не скачивать";
    case FilePriority::low:
        return "Низкий";
    case FilePriority::normal:
        return "Обычный";
    case FilePriority::high:
        return "Высокий";
    }
    return {};
}

FilePriority priorityBucket(std::int64_t raw) {
    if (raw <= 0)
        return FilePriority::skip;
    if (raw <= 3)
        return FilePriority::low;
    if (raw <= 5)
        return FilePriority::normal;
    return FilePriority::high;
}

std::optional<FilePriority> sharedPriority(const std::set<std::int64_t>& levels) {
    std::optional<FilePriority> shared;
    for (std::int64_t level : levels) {
        FilePriority p = priorityBucket(level);
        if (shared && *shared != p)
            return std::nullopt;
        shared = p;
    }
    return shared;
}

std::string priorityText(const std::set<std::int64_t>& levels) {
    auto shared = sharedPriority(levels);
    return shared ? priorityTitle(*shared) : "Разный";
}

} // namespace tevro
