#pragma once

// How reading one of the data folder's files went, and what the application
// does with a file it could not read as valid: it never writes over it. A file
// that could be read but is damaged (wholly or in part) is set aside under a
// name that carries the time ("<name>.corrupt-20250131-142501", never over an
// earlier copy) before a new one takes its place; a file that cannot even be
// opened is left alone for the whole run.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "tevro/core/date.h"

namespace tevro {

struct FileCheck {
    enum class Result {
        // Read whole and valid.
        read,
        // Not there: defaults, written as usual.
        missing,
        // Could not be opened or read: defaults in memory, the file untouched.
        unreadable,
        // Damaged: the original now lies at `copy`; what could be read is used.
        setAside,
        // Damaged, and setting it aside failed: left in place, never written.
        keptInPlace,
    };

    std::filesystem::path file;
    Result result = Result::read;
    std::filesystem::path copy;
    // What was wrong: the system's error text, or the damage found.
    std::string reason;
    // Entries of a map file that did not decode and were left out.
    std::size_t droppedEntries = 0;

    // The application may write the file this run.
    bool writable() const { return result != Result::unreadable && result != Result::keptInPlace; }
    // Something the user is told about at start.
    bool worthTelling() const { return result != Result::read && result != Result::missing; }

    // Marks the file damaged and moves it aside; `keptInPlace` when that fails.
    void setAside(std::string why);
    // One line for the start-up message, in the user's language.
    std::string describe() const;
};

// Moves `file` to "<file>.corrupt-<local time>" (with "-2", "-3"... when that
// name is taken), never replacing anything; the new path, or none.
std::optional<std::filesystem::path> setAsideFile(const std::filesystem::path& file,
                                                  Date now = std::chrono::system_clock::now());

// The text of a failed write for the user: a full disk in words, else the
// system's own text.
std::string writeFailureText(const std::error_code& error);

} // namespace tevro
