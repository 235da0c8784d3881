#pragma once

// A torrent's file tree as an item model. A refresh that keeps the tree's
// shape (same files, same filter) updates the changed rows in place, with
// dataChanged for those rows only, so expansion, selection and scrolling stay.
// Any other change resets the model; views restore their state by node id.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <QAbstractItemModel>

#include "tevro/core/torrent_file.h"
#include "tevro/media/file_node.h"

namespace tevro {

class FileTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    // The add sheet shows check, name and size; the files view adds progress and priority.
    enum class Layout { add, files };
    enum Column { checkColumn, nameColumn, sizeColumn, progressColumn, priorityColumn };
    enum Role {
        NodeIdRole = Qt::UserRole + 1, // QString
        CheckRole,                     // int (CheckState)
        FolderRole,                    // bool
        FractionRole,                  // double, done / size (1 for an empty node)
        SharedPriorityRole, // int raw priority of the shared level, -1 for "Разный"
    };

    explicit FileTreeModel(Layout layout, QObject* parent = nullptr);

    // Shows `files` through `filter`. Returns whether anything changed.
    bool setFiles(std::vector<TorrentFile> files, const std::string& filter);
    bool setFilter(const std::string& filter);
    void clear();

    const std::vector<TorrentFile>& files() const { return m_files; }
    const std::string& filter() const { return m_filter; }
    // The tree as shown, built afresh (the quick selections and actions read it).
    std::vector<FileNode> tree() const;

    // The node of a row (children left empty; see indices for what lies below).
    const FileNode* node(const QModelIndex& index) const;
    QModelIndex indexOf(const std::string& id, int column = 0) const;
    // Number of rows of the whole tree.
    int nodeCount() const { return static_cast<int>(m_rows.size()); }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row {
        FileNode
            node; // `children` is an empty list for folders: the tree lives in `children` below
        int parent = -1;
        int row = 0;
        int depth = 0;
        std::vector<int> children;
    };

    void rebuild();
    int add(const FileNode& node, int parent, int row, int depth);
    bool sameShape(const std::vector<TorrentFile>& files) const;
    void updateInPlace(const std::vector<TorrentFile>& files);
    QModelIndex indexOfRow(int row, int column) const;

    Layout m_layout;
    std::vector<TorrentFile> m_files;
    std::string m_filter;
    std::vector<Row> m_rows;
    std::vector<int> m_roots;
    std::unordered_map<std::string, int> m_byId;
    std::unordered_map<std::int64_t, int> m_byFile; // file index -> row
};

} // namespace tevro
