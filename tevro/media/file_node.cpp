#include "tevro/media/file_node.h"

namespace tevro {

CheckState FileNode::check() const {
    // std::set is ordered: something wanted exists when the largest value is positive.
    if (priorities.empty() || *priorities.rbegin() < 1)
        return CheckState::off;
    return priorities.contains(0) ? CheckState::mixed : CheckState::on;
}

bool FileNode::operator==(const FileNode& other) const {
    return id == other.id && done == other.done && priorities == other.priorities &&
           children == other.children;
}

} // namespace tevro
