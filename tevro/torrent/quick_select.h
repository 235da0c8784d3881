#pragma once

// Ready-made row selections of a file tree ("all", "video", "invert"...). They
// only pick rows; what the picked rows are used for is the caller's business.

#include <array>
#include <string>
#include <unordered_set>
#include <vector>

#include "tevro/media/file_node.h"

namespace tevro {

enum class QuickSelect { all, none, video, audio, subtitles, wanted, skipped, invert };

inline constexpr std::array<QuickSelect, 8> kAllQuickSelects = {
    QuickSelect::all,       QuickSelect::none,   QuickSelect::video,   QuickSelect::audio,
    QuickSelect::subtitles, QuickSelect::wanted, QuickSelect::skipped, QuickSelect::invert};

// The menu title ("Все", "Видео", "Инвертировать"...).
std::string title(QuickSelect select);

// The new selection (file node ids only) for `current` over the roots shown.
std::unordered_set<std::string> apply(QuickSelect select,
                                      const std::unordered_set<std::string>& current,
                                      const std::vector<FileNode>& roots);

} // namespace tevro
