#pragma once

// Watches the folders of files, and every folder above them, with inotify:
// a file deleted or moved away, or a folder on its way deleted, moved or
// unmounted, is noticed without looking at each file again. Each set of files
// belongs to a key (a torrent id). Files whose folders cannot be watched (no
// inotify, the watch limit reached, a relative path, or a network or FUSE
// file system, whose changes made elsewhere inotify never sees) are looked
// at on every takeChanged() instead. Folders are watched as named: a
// symbolic link is followed for its own folder, not for the folders above
// its target. One thread at a time (the caller locks).

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace tevro::bridge {

class FileWatch {
public:
    FileWatch();
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // Watches `paths` (absolute file paths) for `key`, replacing what was
    // watched for it; the same paths again cost nothing. False when they
    // cannot all be watched: then takeChanged() looks at them each time.
    bool set(const std::string& key, std::vector<std::string> paths);
    void forget(const std::string& key);

    // Adds the keys whose files may be gone since the last call: those with
    // an inotify event on their path, and those looked at that are gone. A
    // key whose folder watch was lost is forgotten: set() it again. Reads
    // without blocking.
    void takeChanged(std::set<std::string>& out);

    // Folders watched and keys looked at each time (for tests).
    std::size_t folders() const { return m_dirs.size(); }
    std::size_t unwatched() const { return m_unwatched.size(); }

private:
    struct Dir {
        int wd = -1;
        int refs = 0;
        std::map<std::string, int> names; // children on watched paths, counted
    };
    struct Entry {
        std::vector<std::string> paths;
        bool watched = false;
    };
    // Watches each folder from "/" down to the file's own; false, holding
    // nothing for it, when one cannot be watched.
    bool hold(const std::string& file);
    void release(const std::string& file);
    void releaseAll(const std::string& key, Entry& entry);
    // Every key with a file at `path` or below it.
    void keysUnder(const std::string& path, std::set<std::string>& out) const;

    int m_fd = -1;
    std::unordered_map<std::string, Dir> m_dirs;              // by folder path
    std::unordered_map<int, std::vector<std::string>> m_byWd; // folders of a watch
    std::map<std::string, std::set<std::string>> m_files;     // watched file -> keys
    std::unordered_map<std::string, Entry> m_keys;
    std::set<std::string> m_unwatched; // keys looked at each time
};

} // namespace tevro::bridge
