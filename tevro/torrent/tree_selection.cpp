#include "tevro/torrent/tree_selection.h"

#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTreeView>

#include "tevro/torrent/file_tree_model.h"

namespace tevro {

std::unordered_set<std::string> selectedIds(const QTreeView* view) {
    std::unordered_set<std::string> out;
    if (!view->selectionModel())
        return out;
    for (const QModelIndex& index : view->selectionModel()->selectedRows(0))
        out.insert(index.data(FileTreeModel::NodeIdRole).toString().toStdString());
    return out;
}

void selectIds(QTreeView* view, const FileTreeModel& model,
               const std::unordered_set<std::string>& ids) {
    QItemSelection selection;
    int last = model.columnCount() - 1;
    for (const std::string& id : ids) {
        QModelIndex first = model.indexOf(id, 0);
        if (first.isValid())
            selection.select(first, first.siblingAtColumn(last));
    }
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

namespace {

void collectExpanded(const QTreeView* view, const FileTreeModel& model, const QModelIndex& parent,
                     std::unordered_set<std::string>& out) {
    int rows = model.rowCount(parent);
    for (int r = 0; r < rows; ++r) {
        QModelIndex index = model.index(r, 0, parent);
        if (model.rowCount(index) > 0 && view->isExpanded(index)) {
            out.insert(index.data(FileTreeModel::NodeIdRole).toString().toStdString());
            collectExpanded(view, model, index, out);
        }
    }
}

} // namespace

TreeViewState TreeViewState::capture(const QTreeView* view, const FileTreeModel& model) {
    TreeViewState s;
    collectExpanded(view, model, {}, s.expanded);
    s.selected = selectedIds(view);
    s.current = view->currentIndex().data(FileTreeModel::NodeIdRole).toString().toStdString();
    s.scroll = view->verticalScrollBar()->value();
    return s;
}

void TreeViewState::restore(QTreeView* view, const FileTreeModel& model) const {
    for (const std::string& id : expanded) {
        QModelIndex index = model.indexOf(id);
        if (index.isValid())
            view->setExpanded(index, true);
    }
    if (!current.empty()) {
        QModelIndex index = model.indexOf(current);
        if (index.isValid())
            view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
    selectIds(view, model, selected);
    view->verticalScrollBar()->setValue(scroll);
}

} // namespace tevro
