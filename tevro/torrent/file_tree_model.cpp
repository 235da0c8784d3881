#include "tevro/torrent/file_tree_model.h"

#include <algorithm>

#include "tevro/core/format.h"
#include "tevro/media/file_tree.h"
#include "tevro/torrent/priority_text.h"

namespace tevro {

FileTreeModel::FileTreeModel(Layout layout, QObject* parent)
    : QAbstractItemModel(parent), m_layout(layout) {}

bool FileTreeModel::setFiles(std::vector<TorrentFile> files, const std::string& filter) {
    if (filter == m_filter && files == m_files)
        return false;
    if (filter == m_filter && sameShape(files)) {
        updateInPlace(files);
        m_files = std::move(files);
        return true;
    }
    beginResetModel();
    m_files = std::move(files);
    m_filter = filter;
    rebuild();
    endResetModel();
    return true;
}

bool FileTreeModel::setFilter(const std::string& filter) {
    if (filter == m_filter)
        return false;
    beginResetModel();
    m_filter = filter;
    rebuild();
    endResetModel();
    return true;
}

void FileTreeModel::clear() {
    beginResetModel();
    m_files.clear();
    rebuild();
    endResetModel();
}

std::vector<FileNode> FileTreeModel::tree() const {
    return FileTree::build(m_files, m_filter);
}

bool FileTreeModel::sameShape(const std::vector<TorrentFile>& files) const {
    if (files.size() != m_files.size())
        return false;
    for (std::size_t k = 0; k < files.size(); ++k)
        if (files[k].i != m_files[k].i || files[k].pad != m_files[k].pad ||
            files[k].path != m_files[k].path)
            return false;
    return true;
}

void FileTreeModel::rebuild() {
    m_rows.clear();
    m_roots.clear();
    m_byId.clear();
    m_byFile.clear();
    std::vector<FileNode> roots = FileTree::build(m_files, m_filter);
    m_rows.reserve(m_files.size() + m_files.size() / 4 + 1);
    for (std::size_t k = 0; k < roots.size(); ++k)
        m_roots.push_back(add(roots[k], -1, static_cast<int>(k), 0));
}

int FileTreeModel::add(const FileNode& node, int parent, int row, int depth) {
    int me = static_cast<int>(m_rows.size());
    m_rows.push_back(Row{});
    Row& r = m_rows.back();
    r.node.id = node.id;
    r.node.name = node.name;
    r.node.file = node.file;
    r.node.size = node.size;
    r.node.done = node.done;
    r.node.indices = node.indices;
    r.node.priorities = node.priorities;
    r.node.kind = node.kind;
    if (node.children)
        r.node.children.emplace();
    r.parent = parent;
    r.row = row;
    r.depth = depth;
    m_byId[node.id] = me;
    if (node.file)
        m_byFile[node.file->i] = me;
    if (node.children) {
        std::vector<int> kids;
        kids.reserve(node.children->size());
        for (std::size_t k = 0; k < node.children->size(); ++k)
            kids.push_back(add((*node.children)[k], me, static_cast<int>(k), depth + 1));
        m_rows[me].children = std::move(kids);
    }
    return me;
}

void FileTreeModel::updateInPlace(const std::vector<TorrentFile>& files) {
    std::vector<int> changed;
    std::unordered_set<int> folders;
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (files[k] == m_files[k])
            continue;
        auto it = m_byFile.find(files[k].i);
        if (it == m_byFile.end())
            continue; // a pad file, or hidden by the filter
        Row& r = m_rows[it->second];
        r.node.file = files[k];
        r.node.size = files[k].size;
        r.node.done = files[k].done;
        r.node.priorities = {files[k].prio};
        changed.push_back(it->second);
        for (int p = r.parent; p >= 0 && folders.insert(p).second; p = m_rows[p].parent) {
        }
    }
    // Folders deepest first, so each one sums children already brought up to date.
    std::vector<int> order(folders.begin(), folders.end());
    std::ranges::sort(order, [&](int a, int b) { return m_rows[a].depth > m_rows[b].depth; });
    for (int f : order) {
        Row& r = m_rows[f];
        std::int64_t size = 0, done = 0;
        std::set<std::int64_t> levels;
        for (int c : r.children) {
            const FileNode& n = m_rows[c].node;
            size += n.size;
            done += n.done;
            levels.insert(n.priorities.begin(), n.priorities.end());
        }
        if (size == r.node.size && done == r.node.done && levels == r.node.priorities)
            continue;
        r.node.size = size;
        r.node.done = done;
        r.node.priorities = std::move(levels);
        changed.push_back(f);
    }
    int last = columnCount() - 1;
    for (int row : changed)
        emit dataChanged(indexOfRow(row, 0), indexOfRow(row, last));
}

const FileNode* FileTreeModel::node(const QModelIndex& index) const {
    if (!index.isValid() || index.internalId() >= m_rows.size())
        return nullptr;
    return &m_rows[index.internalId()].node;
}

QModelIndex FileTreeModel::indexOf(const std::string& id, int column) const {
    auto it = m_byId.find(id);
    return it == m_byId.end() ? QModelIndex() : indexOfRow(it->second, column);
}

QModelIndex FileTreeModel::indexOfRow(int row, int column) const {
    return createIndex(m_rows[row].row, column, static_cast<quintptr>(row));
}

QModelIndex FileTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= columnCount())
        return {};
    const std::vector<int>& list =
        parent.isValid() ? m_rows[parent.internalId()].children : m_roots;
    if (row >= static_cast<int>(list.size()))
        return {};
    return createIndex(row, column, static_cast<quintptr>(list[row]));
}

QModelIndex FileTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return {};
    int p = m_rows[child.internalId()].parent;
    return p < 0 ? QModelIndex() : indexOfRow(p, 0);
}

int FileTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return static_cast<int>(m_roots.size());
    if (parent.column() != 0)
        return 0;
    return static_cast<int>(m_rows[parent.internalId()].children.size());
}

int FileTreeModel::columnCount(const QModelIndex&) const {
    return m_layout == Layout::add ? 3 : 5;
}

namespace {

QString checkValue(CheckState state) {
    switch (state) {
    case CheckState::on:
        return "Да";
    case CheckState::off:
        return "Нет";
    case CheckState::mixed:
        return "Частично";
    }
    return {};
}

double fraction(const FileNode& n) {
    return n.size < 1 ? 1.0 : static_cast<double>(n.done) / static_cast<double>(n.size);
}

} // namespace

QVariant FileTreeModel::data(const QModelIndex& index, int role) const {
    const FileNode* n = node(index);
    if (!n)
        return {};
    switch (role) {
    case NodeIdRole:
        return QString::fromStdString(n->id);
    case CheckRole:
        return static_cast<int>(n->check());
    case FolderRole:
        return n->isFolder();
    case FractionRole:
        return fraction(*n);
    case SharedPriorityRole: {
        auto shared = sharedPriority(n->priorities);
        return shared ? rawValue(*shared) : -1;
    }
    case Qt::AccessibleTextRole:
        if (index.column() == checkColumn)
            return QStringLiteral("Скачивать");
        break;
    case Qt::AccessibleDescriptionRole:
        if (index.column() == checkColumn)
            return checkValue(n->check());
        break;
    case Qt::ToolTipRole:
        if (index.column() == nameColumn)
            return QString::fromStdString(n->file ? n->file->path : n->name);
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == sizeColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case Qt::DisplayRole:
        switch (index.column()) {
        case nameColumn:
            return QString::fromStdString(n->name);
        case sizeColumn:
            return QString::fromStdString(Format::bytes(std::max<std::int64_t>(0, n->size)));
        case progressColumn:
            return QString::fromStdString(Format::percent(fraction(*n)));
        case priorityColumn:
            return QString::fromStdString(priorityText(n->priorities));
        default:
            return {};
        }
    default:
        break;
    }
    return {};
}

QVariant FileTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case nameColumn:
        return QStringLiteral("Имя");
    case sizeColumn:
        return QStringLiteral("Размер");
    case progressColumn:
        return QStringLiteral("Готово");
    case priorityColumn:
        return QStringLiteral("Приоритет");
    default:
        return QString();
    }
}

} // namespace tevro
