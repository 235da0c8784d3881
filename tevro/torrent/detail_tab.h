#pragma once

// The tabs of the detail pane, in order; the raw values are the tab ids.

#include <array>
#include <optional>
#include <string_view>

namespace tevro {

enum class DetailTab { files, info, peers, trackers };

inline constexpr std::array<DetailTab, 4> kAllDetailTabs = {DetailTab::files, DetailTab::info,
                                                            DetailTab::peers, DetailTab::trackers};

std::string_view rawValue(DetailTab tab);
std::optional<DetailTab> detailTabFromRaw(std::string_view raw);
// "Файлы", "Общее", "Пиры", "Трекеры".
std::string_view title(DetailTab tab);

} // namespace tevro
