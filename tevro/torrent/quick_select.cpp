#include "tevro/torrent/quick_select.h"

#include "tevro/media/file_tree.h"

namespace tevro {

std::string title(QuickSelect select) {
    switch (select) {
    case QuickSelect::all:
        return "Все";
    case QuickSelect::none:
        return "Снять выделение";
    case QuickSelect::video:
        return "Видео";
    case QuickSelect::audio:
        return "Аудио";
    case QuickSelect::subtitles:
        return "Субтитры";
    case QuickSelect::wanted:
        return "Скачиваемые";
    case QuickSelect::skipped:
        return "Нескачиваемые";
    case QuickSelect::invert:
        return "Инвертировать";
    }
    return {};
}

namespace {

bool hasKind(const FileNode& node, MediaKind kind) {
    return node.kind && *node.kind == kind;
}

} // namespace

std::unordered_set<std::string> apply(QuickSelect select,
                                      const std::unordered_set<std::string>& current,
                                      const std::vector<FileNode>& roots) {
    std::unordered_set<std::string> out;
    if (select == QuickSelect::none)
        return out;
    for (const FileNode& node : FileTree::flatten(roots)) {
        if (node.isFolder())
            continue;
        bool take = false;
        switch (select) {
        case QuickSelect::all:
            take = true;
            break;
        case QuickSelect::none:
            break;
        case QuickSelect::video:
            take = hasKind(node, MediaKind::video);
            break;
        case QuickSelect::audio:
            take = hasKind(node, MediaKind::audio);
            break;
        case QuickSelect::subtitles:
            take = hasKind(node, MediaKind::subtitle);
            break;
        case QuickSelect::wanted:
            take = node.check() == CheckState::on;
            break;
        case QuickSelect::skipped:
            take = node.check() == CheckState::off;
            break;
        case QuickSelect::invert:
            take = !current.contains(node.id);
            break;
        }
        if (take)
            out.insert(node.id);
    }
    return out;
}

} // namespace tevro
