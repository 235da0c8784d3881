#include "tevro/media/file_tree.h"

#include <algorithm>
#include <map>
#include <memory>

#include "tevro/media/localized_compare.h"
#include "tevro/media/media_text.h"

namespace tevro::FileTree {

namespace {

struct FileEntry {
    const TorrentFile* file;
    std::vector<std::string_view> parts; // after the common top folder is removed
};

// Builder node; never leaves build().
struct Box {
    std::string name;
    std::string path;
    std::map<std::string, std::unique_ptr<Box>, std::less<>> children;
    std::vector<std::string> childOrder; // first-insertion order
    std::vector<const TorrentFile*> files;
};

void sortByName(std::vector<FileNode>& nodes) {
    std::stable_sort(nodes.begin(), nodes.end(), [](const FileNode& a, const FileNode& b) {
        return localizedStandardLess(a.name, b.name);
    });
}

FileNode fileNode(const TorrentFile& file) {
    FileNode n;
    n.id = "f:" + std::to_string(file.i);
    n.name = std::string(MediaText::lastComponent(file.path));
    n.size = file.size;
    n.done = file.done;
    n.indices = {file.i};
    n.priorities = {file.prio};
    n.kind = mediaKindForPath(file.path);
    n.file = file;
    return n;
}

std::vector<FileNode> nodes(const Box& box) {
    std::vector<FileNode> folders;
    folders.reserve(box.childOrder.size());
    for (const std::string& childName : box.childOrder) {
        const Box& child = *box.children.find(childName)->second;
        FileNode folder;
        folder.id = "d:" + child.path;
        folder.name = child.name;
        folder.children = nodes(child);
        for (const FileNode& c : *folder.children) {
            folder.size += c.size;
            folder.done += c.done;
            folder.indices.insert(folder.indices.end(), c.indices.begin(), c.indices.end());
            folder.priorities.insert(c.priorities.begin(), c.priorities.end());
        }
        folders.push_back(std::move(folder));
    }
    sortByName(folders);

    std::vector<FileNode> files;
    files.reserve(box.files.size());
    for (const TorrentFile* f : box.files)
        files.push_back(fileNode(*f));
    sortByName(files);

    folders.insert(folders.end(), std::make_move_iterator(files.begin()),
                   std::make_move_iterator(files.end()));
    return folders;
}

void flattenInto(const std::vector<FileNode>& nodes, std::vector<FileNode>& out) {
    for (const FileNode& n : nodes) {
        out.push_back(n);
        if (n.children)
            flattenInto(*n.children, out);
    }
}

} // namespace

std::vector<FileNode> build(const std::vector<TorrentFile>& files, std::string_view filter) {
    std::vector<FileEntry> entries;
    entries.reserve(files.size());
    for (const TorrentFile& f : files)
        if (!f.pad)
            entries.push_back({&f, MediaText::components(f.path)});

    bool commonTop = !entries.empty() && std::ranges::all_of(entries, [&](const FileEntry& e) {
        return e.parts.size() >= 2 && e.parts.front() == entries.front().parts.front();
    });
    if (commonTop)
        for (FileEntry& e : entries)
            e.parts.erase(e.parts.begin());

    const std::string needle = MediaText::lowerCased(MediaText::trim(filter, " \t"));

    Box root;
    for (const FileEntry& e : entries) {
        if (!needle.empty() &&
            MediaText::lowerCased(e.file->path).find(needle) == std::string::npos)
            continue;
        Box* box = &root;
        for (std::size_t k = 0; k + 1 < e.parts.size(); ++k) {
            auto it = box->children.find(e.parts[k]);
            if (it == box->children.end()) {
                auto child = std::make_unique<Box>();
                child->name = std::string(e.parts[k]);
                child->path = box->path + "/" + child->name;
                box->childOrder.push_back(child->name);
                it = box->children.emplace(child->name, std::move(child)).first;
            }
            box = it->second.get();
        }
        box->files.push_back(e.file);
    }
    return nodes(root);
}

std::vector<FileNode> flatten(const std::vector<FileNode>& nodes) {
    std::vector<FileNode> out;
    flattenInto(nodes, out);
    return out;
}

std::vector<FileNode> find(const std::unordered_set<std::string>& ids,
                           const std::vector<FileNode>& nodes) {
    std::vector<FileNode> out;
    if (ids.empty())
        return out;
    for (FileNode& n : flatten(nodes))
        if (ids.contains(n.id))
            out.push_back(std::move(n));
    return out;
}

} // namespace tevro::FileTree
