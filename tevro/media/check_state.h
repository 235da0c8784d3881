#pragma once

// The tri-state check mark of a file or folder in the file views.

namespace tevro {

// `mixed` when a folder holds both wanted and skipped files.
enum class CheckState { on, off, mixed };

} // namespace tevro
