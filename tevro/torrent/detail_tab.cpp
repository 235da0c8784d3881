#include "tevro/torrent/detail_tab.h"

namespace tevro {

std::string_view rawValue(DetailTab tab) {
    switch (tab) {
    case DetailTab::files:
        return "files";
    case DetailTab::info:
        return "info";
    case DetailTab::peers:
        return "peers";
    case DetailTab::trackers:
        return "trackers";
    }
    return {};
}

std::optional<DetailTab> detailTabFromRaw(std::string_view raw) {
    for (DetailTab t : kAllDetailTabs)
        if (rawValue(t) == raw)
            return t;
    return std::nullopt;
}

std::string_view title(DetailTab tab) {
    switch (tab) {
    case DetailTab::files:
        return "Файлы";
    case DetailTab::info:
        return "Общее";
    case DetailTab::peers:
        return "Пиры";
    case DetailTab::trackers:
        return "Трекеры";
    }
    return {};
}

} // namespace tevro
