#include "tevro/torrent/file_tree_view.h"

#include <QMouseEvent>
#include <QScrollBar>

#include "tevro/torrent/file_tree_model.h"

namespace tevro {

namespace {

std::string idOf(const QModelIndex& index) {
    return index.data(FileTreeModel::NodeIdRole).toString().toStdString();
}

void collectExpanded(const QTreeView* view, const QAbstractItemModel& model,
                     const QModelIndex& parent, std::unordered_set<std::string>& out) {
    int rows = model.rowCount(parent);
    for (int r = 0; r < rows; ++r) {
        QModelIndex index = model.index(r, 0, parent);
        if (model.rowCount(index) > 0 && view->isExpanded(index)) {
            out.insert(idOf(index));
            collectExpanded(view, model, index, out);
        }
    }
}

bool isInput(const QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
        return true;
    default:
        return false;
    }
}

} // namespace

FileTreeView::FileTreeView(QWidget* parent) : QTreeView(parent) {}

void FileTreeView::setFileModel(FileTreeModel* model) {
    m_model = model;
    setModel(model);
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, &FileTreeView::aboutToReset);
    connect(model, &QAbstractItemModel::modelReset, this, &FileTreeView::afterReset);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FileTreeView::selectedIdsChanged);
}

std::unordered_set<std::string> FileTreeView::selectedIds() const {
    std::unordered_set<std::string> out = m_hiddenSelected;
    if (selectionModel())
        for (const QModelIndex& index : selectionModel()->selectedRows(0))
            out.insert(idOf(index));
    return out;
}

void FileTreeView::setSelectedIds(const std::unordered_set<std::string>& ids) {
    select(ids);
    emit selectedIdsChanged();
}

void FileTreeView::select(const std::unordered_set<std::string>& ids) {
    m_hiddenSelected.clear();
    QItemSelection selection;
    int last = m_model->columnCount() - 1;
    for (const std::string& id : ids) {
        QModelIndex first = m_model->indexOf(id, 0);
        if (first.isValid())
            selection.select(first, first.siblingAtColumn(last));
        else
            m_hiddenSelected.insert(id);
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void FileTreeView::forgetStateOnReset() {
    m_forget = true;
}

QItemSelectionModel::SelectionFlags FileTreeView::selectionCommand(const QModelIndex& index,
                                                                   const QEvent* event) const {
    auto flags = QTreeView::selectionCommand(index, event);
    // A plain click or arrow key replaces the selection, hidden rows' part too.
    if (event && isInput(event) && flags.testFlag(QItemSelectionModel::Clear))
        m_hiddenSelected.clear();
    return flags;
}

bool FileTreeView::onCheck(const QPoint& pos, QModelIndex* index) const {
    QModelIndex at = indexAt(pos);
    if (index)
        *index = at;
    return at.isValid() && at.column() == FileTreeModel::checkColumn;
}

void FileTreeView::mousePressEvent(QMouseEvent* event) {
    QModelIndex index;
    if (event->button() == Qt::LeftButton && onCheck(event->position().toPoint(), &index)) {
        // The check mark acts on its row alone: the selection stays.
        m_pressedCheck = index;
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    m_pressedCheck = QPersistentModelIndex();
    QTreeView::mousePressEvent(event);
}

void FileTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second click of a quick pair on a check mark toggles again.
    QModelIndex index;
    if (event->button() == Qt::LeftButton && onCheck(event->position().toPoint(), &index)) {
        m_pressedCheck = index;
        event->accept();
        return;
    }
    QTreeView::mouseDoubleClickEvent(event);
}

void FileTreeView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_pressedCheck.isValid() && event->button() == Qt::LeftButton) {
        QModelIndex pressed = m_pressedCheck;
        m_pressedCheck = QPersistentModelIndex();
        QModelIndex index;
        if (onCheck(event->position().toPoint(), &index) && index == pressed)
            emit checkClicked(index);
        event->accept();
        return;
    }
    QTreeView::mouseReleaseEvent(event);
}

void FileTreeView::aboutToReset() {
    m_pressedCheck = QPersistentModelIndex();
    if (m_forget) {
        m_saved = {};
        m_hiddenSelected.clear();
        m_hiddenExpanded.clear();
        return;
    }
    m_saved = {};
    m_saved.expanded = m_hiddenExpanded;
    collectExpanded(this, *m_model, {}, m_saved.expanded);
    m_saved.selected = selectedIds();
    m_saved.current = idOf(currentIndex());
    m_saved.scroll = verticalScrollBar()->value();
}

void FileTreeView::afterReset() {
    if (m_forget) {
        m_forget = false;
        emit selectedIdsChanged();
        return;
    }
    m_hiddenExpanded.clear();
    for (const std::string& id : m_saved.expanded) {
        QModelIndex index = m_model->indexOf(id);
        if (index.isValid())
            setExpanded(index, true);
        else
            m_hiddenExpanded.insert(id);
    }
    if (!m_saved.current.empty()) {
        QModelIndex index = m_model->indexOf(m_saved.current);
        if (index.isValid())
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
    select(m_saved.selected);
    verticalScrollBar()->setValue(m_saved.scroll);
    emit selectedIdsChanged();
}

} // namespace tevro
