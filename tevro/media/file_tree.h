#pragma once

// Builds the folder tree the file views show from a torrent's flat file list.
// Pure: no I/O, no shared state, callable from any thread.

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "tevro/core/torrent_file.h"
#include "tevro/media/file_node.h"

namespace tevro::FileTree {

// The top-level nodes of the tree. Padding files are left out; a top folder
// that every file shares is removed. A non-empty `filter` (trimmed of spaces
// and tabs, case-insensitive) keeps only files whose whole path contains it,
// and folders that still hold a file. Each folder lists its subfolders, then
// its files, both in the file manager's name order.
std::vector<FileNode> build(const std::vector<TorrentFile>& files, std::string_view filter = {});

// Every node of the forest in depth-first pre-order.
std::vector<FileNode> flatten(const std::vector<FileNode>& nodes);

// The nodes of flatten(nodes) whose id is in `ids`, in pre-order.
std::vector<FileNode> find(const std::unordered_set<std::string>& ids,
                           const std::vector<FileNode>& nodes);

} // namespace tevro::FileTree
