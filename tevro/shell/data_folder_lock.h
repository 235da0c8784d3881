#pragma once

// The data folder's advisory lock (flock on "instance.lock" in it): the process
// that holds it is the one Tevro running on that folder. The kernel drops it
// when the holder exits, however it exits, so a lock is never stale.

#include <filesystem>
#include <optional>
#include <system_error>

#include <sys/types.h>

namespace tevro {

class DataFolderLock {
public:
    // Creates the folder when it is missing and opens the lock file; takes nothing yet.
    explicit DataFolderLock(const std::filesystem::path& folder);
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    enum class Attempt { taken, held, failed };
    // Without waiting: `held` when another process (or another lock object)
    // has it, `failed` when the file cannot be opened or locked at all.
    Attempt tryLock();
    bool isHeld() const { return m_held; }
    // Lets go; a later tryLock() may take it again.
    void release();

    // The process id the holder wrote into the file, when there is one.
    std::optional<pid_t> holder() const;
    // Why the last attempt failed.
    std::error_code error() const { return m_error; }

    static constexpr const char* kFileName = "instance.lock";

private:
    std::filesystem::path m_path;
    int m_fd = -1;
    bool m_held = false;
    std::error_code m_error;
};

} // namespace tevro
