#pragma once

// One node of a torrent's folder tree: a folder with its totals, or one file.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tevro/core/media_kind.h"
#include "tevro/core/torrent_file.h"
#include "tevro/media/check_state.h"

namespace tevro {

struct FileNode {
    // "d:" + folder path ("d:/Extras/Scenes"), or "f:" + file index ("f:12").
    std::string id;
    // The folder's own path component, or the file's last path component.
    std::string name;
    // Set for a file node only.
    std::optional<TorrentFile> file;
    // Set for a folder node only: folders first, then files, each in name order.
    std::optional<std::vector<FileNode>> children;
    std::int64_t size = 0;
    std::int64_t done = 0;
    // File indices below this node, in child order.
    std::vector<std::int64_t> indices;
    // The distinct priority values below this node (0 = skipped).
    std::set<std::int64_t> priorities;
    // Set for a file node only.
    std::optional<MediaKind> kind;

    bool isFolder() const { return children.has_value(); }

    // `on` when something is wanted and nothing skipped, `mixed` when both,
    // `off` when everything is skipped or there is nothing.
    CheckState check() const;

    // Compares only what a redraw depends on: id, progress, priorities and
    // children, so a change anywhere below a folder makes the folder differ.
    bool operator==(const FileNode& other) const;
};

} // namespace tevro

template <> struct std::hash<tevro::FileNode> {
    std::size_t operator()(const tevro::FileNode& node) const noexcept {
        return std::hash<std::string>()(node.id);
    }
};
