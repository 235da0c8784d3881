#pragma once

// Row selection, expansion and scroll position of a file tree view, read and
// restored by node id, so a model reset (new file list, new filter) keeps them.

#include <string>
#include <unordered_set>

class QTreeView;

namespace tevro {

class FileTreeModel;

// The node ids of the selected rows.
std::unordered_set<std::string> selectedIds(const QTreeView* view);
// Selects exactly the rows of `ids` that the model holds.
void selectIds(QTreeView* view, const FileTreeModel& model,
               const std::unordered_set<std::string>& ids);

struct TreeViewState {
    std::unordered_set<std::string> expanded;
    std::unordered_set<std::string> selected;
    std::string current;
    int scroll = 0;

    static TreeViewState capture(const QTreeView* view, const FileTreeModel& model);
    void restore(QTreeView* view, const FileTreeModel& model) const;
};

} // namespace tevro
