#include "tevro/bridge/file_watch.h"

#include <cerrno>
#include <cstdint>
#include <filesystem>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace tevro::bridge {

namespace {

constexpr std::uint32_t kMask =
    IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// File systems whose files change without this kernel knowing.
bool remote(const std::string& folder) {
    struct statfs s;
    if (::statfs(folder.c_str(), &s) != 0)
        return false;
    switch (static_cast<std::uint32_t>(s.f_type)) {
    case 0x6969:     // NFS
    case 0x517B:     // SMB
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
    case 0x65735546: // FUSE
    case 0x01021997: // 9P
    case 0x00C36400: // Ceph
    case 0x5346414F: // AFS
    case 0x73757245: // Coda
    case 0x564C:     // NCP
    case 0x47504653: // GPFS
    case 0x0BD00BD0: // Lustre
        return true;
    default:
        return false;
    }
}

std::string parentOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string childOf(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// ENOENT or ENOTDIR: gone. Other stat errors never count.
bool gone(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return false;
    return errno == ENOENT || errno == ENOTDIR;
}

} // namespace

FileWatch::FileWatch() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FileWatch::~FileWatch() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileWatch::set(const std::string& key, std::vector<std::string> paths) {
    for (auto& p : paths)
        p = std::filesystem::path(p).lexically_normal().string();
    auto it = m_keys.find(key);
    if (it != m_keys.end() && it->second.paths == paths)
        return it->second.watched;
    Entry next;
    next.paths = std::move(paths);
    next.watched = true;
    for (const auto& p : next.paths) {
        if (hold(p))
            continue;
        for (const auto& held : next.paths) {
            if (&held == &p)
                break;
            release(held);
        }
        next.watched = false;
        break;
    }
    if (next.watched)
        for (const auto& p : next.paths)
            m_files[p].insert(key);
    // The new watches first, so a folder both hold is never let go between.
    if (it != m_keys.end())
        releaseAll(key, it->second);
    bool watched = next.watched;
    if (next.paths.empty()) {
        m_keys.erase(key);
        m_unwatched.erase(key);
        return true;
    }
    if (watched)
        m_unwatched.erase(key);
    else
        m_unwatched.insert(key);
    m_keys[key] = std::move(next);
    return watched;
}

void FileWatch::forget(const std::string& key) {
    auto it = m_keys.find(key);
    if (it == m_keys.end())
        return;
    releaseAll(key, it->second);
    m_keys.erase(it);
    m_unwatched.erase(key);
}

void FileWatch::releaseAll(const std::string& key, Entry& entry) {
    if (!entry.watched)
        return;
    for (const auto& p : entry.paths) {
        release(p);
        auto f = m_files.find(p);
        if (f != m_files.end() && f->second.erase(key) && f->second.empty())
            m_files.erase(f);
    }
    entry.watched = false;
}

bool FileWatch::hold(const std::string& file) {
    if (m_fd < 0 || file.size() < 2 || file.front() != '/')
        return false;
    std::string folder = parentOf(file);
    if (!m_dirs.contains(folder) && remote(folder))
        return false;
    // From the file's own folder up to "/", each folder with the name below it.
    std::vector<std::pair<std::string, std::string>> chain;
    for (std::string child = file; child != "/";) {
        std::string dir = parentOf(child);
        chain.emplace_back(dir, child.substr(dir == "/" ? 1 : dir.size() + 1));
        child = dir;
    }
    std::size_t done = 0;
    for (; done < chain.size(); ++done) {
        const auto& [dir, name] = chain[done];
        auto it = m_dirs.find(dir);
        if (it == m_dirs.end()) {
            int wd = ::inotify_add_watch(m_fd, dir.c_str(), kMask);
            if (wd < 0)
                break;
            it = m_dirs.emplace(dir, Dir{wd, 0, {}}).first;
            m_byWd[wd].push_back(dir);
        }
        ++it->second.refs;
        ++it->second.names[name];
    }
    if (done == chain.size())
        return true;
    // Undo the folders held so far.
    while (done-- > 0) {
        const auto& [dir, name] = chain[done];
        Dir& d = m_dirs[dir];
        if (--d.names[name] == 0)
            d.names.erase(name);
        if (--d.refs == 0) {
            auto& folders = m_byWd[d.wd];
            std::erase(folders, dir);
            if (folders.empty()) {
                ::inotify_rm_watch(m_fd, d.wd);
                m_byWd.erase(d.wd);
            }
            m_dirs.erase(dir);
        }
    }
    return false;
}

void FileWatch::release(const std::string& file) {
    for (std::string child = file; child != "/";) {
        std::string dir = parentOf(child);
        std::string name = child.substr(dir == "/" ? 1 : dir.size() + 1);
        child = dir;
        auto it = m_dirs.find(dir);
        if (it == m_dirs.end())
            continue;
        Dir& d = it->second;
        if (auto n = d.names.find(name); n != d.names.end() && --n->second == 0)
            d.names.erase(n);
        if (--d.refs > 0)
            continue;
        auto w = m_byWd.find(d.wd);
        if (w != m_byWd.end()) {
            std::erase(w->second, dir);
            if (w->second.empty()) {
                ::inotify_rm_watch(m_fd, d.wd);
                m_byWd.erase(w);
            }
        }
        m_dirs.erase(it);
    }
}

void FileWatch::keysUnder(const std::string& path, std::set<std::string>& out) const {
    if (auto exact = m_files.find(path); exact != m_files.end())
        out.insert(exact->second.begin(), exact->second.end());
    std::string prefix = path == "/" ? "/" : path + "/";
    for (auto it = m_files.lower_bound(prefix);
         it != m_files.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
        out.insert(it->second.begin(), it->second.end());
}

void FileWatch::takeChanged(std::set<std::string>& out) {
    std::set<std::string> lost; // keys whose chain lost a folder
    bool overflow = false;
    alignas(inotify_event) char buffer[64 * 1024];
    while (m_fd >= 0) {
        ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (char* p = buffer; p < buffer + n;) {
            auto* e = reinterpret_cast<inotify_event*>(p);
            p += sizeof(inotify_event) + e->len;
            if (e->mask & IN_Q_OVERFLOW) {
                overflow = true;
                continue;
            }
            auto w = m_byWd.find(e->wd);
            if (w == m_byWd.end())
                continue;
            if (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED)) {
                for (const auto& dir : w->second)
                    keysUnder(dir, lost);
                continue;
            }
            if (e->len == 0)
                continue;
            std::string name(e->name);
            for (const auto& dir : w->second) {
                auto d = m_dirs.find(dir);
                if (d != m_dirs.end() && d->second.names.contains(name))
                    keysUnder(childOf(dir, name), out);
            }
        }
    }
    if (overflow)
        for (const auto& [key, entry] : m_keys)
            out.insert(key);
    for (const auto& key : lost) {
        forget(key);
        out.insert(key);
    }
    for (const auto& key : m_unwatched) {
        auto it = m_keys.find(key);
        if (it == m_keys.end())
            continue;
        for (const auto& p : it->second.paths) {
            if (gone(p)) {
                out.insert(key);
                break;
            }
        }
    }
}

} // namespace tevro::bridge
