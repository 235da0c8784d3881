#pragma once

// The words the file views use for download priorities.

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "tevro/core/file_priority.h"

namespace tevro {

// "Не скачивать", "Низкий", "Обычный", "Высокий".
std::string priorityTitle(FilePriority priority);

// The priority a raw libtorrent level stands for: 0 skip, 1-3 low, 4-5 normal, 6-7 high.
FilePriority priorityBucket(std::int64_t raw);

// The priority shared by every level in `levels`, or nothing when they differ or are none.
std::optional<FilePriority> sharedPriority(const std::set<std::int64_t>& levels);

// The priority column's text: the shared priority's title, else "Разный".
std::string priorityText(const std::set<std::int64_t>& levels);

} // namespace tevro
