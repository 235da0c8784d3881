#pragma once

// The outline table of a torrent's files, in the add sheet and the files
// view. Its selection and expansion are kept by node id across model resets
// (a new filter, a new shape of the tree), rows that a filter hides included,
// so clearing the filter brings them back. A click on a row's check mark
// toggles that row and leaves the selection as it was.

#include <string>
#include <unordered_set>

#include <QTreeView>

namespace tevro {

class FileTreeModel;

class FileTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit FileTreeView(QWidget* parent = nullptr);

    // The view takes its rows from `model`, which it does not own.
    void setFileModel(FileTreeModel* model);
    FileTreeModel* fileModel() const { return m_model; }

    // The selected node ids, those of rows the filter hides included.
    std::unordered_set<std::string> selectedIds() const;
    // Selects exactly `ids`; ids the model does not hold now stay selected for later.
    void setSelectedIds(const std::unordered_set<std::string>& ids);
    // The next reset starts afresh: nothing selected, every folder closed (another torrent).
    void forgetStateOnReset();

signals:
    // A click on the check mark of the row of `index`.
    void checkClicked(const QModelIndex& index);
    // The selected ids may have changed.
    void selectedIdsChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

private:
    bool onCheck(const QPoint& pos, QModelIndex* index = nullptr) const;
    void aboutToReset();
    void afterReset();
    void select(const std::unordered_set<std::string>& ids);

    FileTreeModel* m_model = nullptr;
    // Selected and expanded ids that the model does not show at present.
    mutable std::unordered_set<std::string> m_hiddenSelected;
    std::unordered_set<std::string> m_hiddenExpanded;
    QPersistentModelIndex m_pressedCheck;
    bool m_forget = false;

    struct Saved {
        std::unordered_set<std::string> expanded;
        std::unordered_set<std::string> selected;
        std::string current;
        int scroll = 0;
    } m_saved;
};

} // namespace tevro
