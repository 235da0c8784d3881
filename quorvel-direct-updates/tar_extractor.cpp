#include "quorvel-direct-updates/tar_extractor.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <archive.h>
#include <archive_entry.h>

namespace quorvel {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxLinksFollowed = 40; // as the kernel's own limit

using ReadArchive = std::unique_ptr<struct archive, decltype(&archive_read_free)>;
using WriteArchive = std::unique_ptr<struct archive, decltype(&archive_write_free)>;

// The entry's name as a relative path, or none when it is absolute or has a
// ".." part: the archive's own name for the folder is the empty path.
std::optional<fs::path> relativeName(const char* name) {
    if (!name || !*name || name[0] == '/')
        return std::nullopt;
    fs::path relative;
    for (const fs::path& part : fs::path(name)) {
        if (part == "..")
            return std::nullopt;
        if (!part.empty() && part != ".")
            relative /= part;
    }
    return relative;
}

// `path` resolved as the system would, link by link; a part that does not
// exist is taken by its name. None on a loop of links.
std::optional<fs::path> resolve(const fs::path& path) {
    std::deque<std::string> pending;
    for (const fs::path& part : path.relative_path())
        pending.push_back(part.string());
    fs::path current = "/";
    int followed = 0;
    while (!pending.empty()) {
        const std::string part = std::move(pending.front());
        pending.pop_front();
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            current = current.parent_path();
            continue;
        }
        const fs::path next = current / part;
        struct stat info {};
        if (::lstat(next.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            current = next;
            continue;
        }
        if (++followed > kMaxLinksFollowed)
            return std::nullopt;
        std::error_code ec;
        const fs::path target = fs::read_symlink(next, ec);
        if (ec)
            return std::nullopt;
        std::vector<std::string> parts;
        for (const fs::path& p : target.relative_path())
            parts.push_back(p.string());
        pending.insert(pending.begin(), parts.begin(), parts.end());
        if (target.is_absolute())
            current = "/";
    }
    return current;
}

bool inside(const fs::path& root, const fs::path& path) {
    const std::string r = root.string();
    const std::string p = path.string();
    return p == r || (p.size() > r.size() && p.starts_with(r) && p[r.size()] == '/');
}

TarExtractor::Error writeError() {
    return errno == ENOSPC || errno == EDQUOT || errno == EIO || errno == EROFS
               ? TarExtractor::Error::io
               : TarExtractor::Error::unsafe;
}

} // namespace

bool TarExtractor::linkStaysInside(const fs::path& root, const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    if (ec || target.empty() || target.is_absolute())
        return false;
    const auto resolved = resolve(link);
    return resolved && inside(root, *resolved);
}

std::expected<void, TarExtractor::Error>
TarExtractor::extract(const fs::path& archive, const fs::path& destination,
                      const std::function<void(double)>& progress, std::stop_token stop) {
    std::error_code ec;
    const auto archiveSize = fs::file_size(archive, ec);
    if (ec)
        return std::unexpected(Error::io);
    fs::create_directories(destination, ec);
    // Entries are written by full path: a path without links in it, so that
    // every link libarchive meets on the way is one the archive made.
    const fs::path root = ec ? fs::path() : fs::canonical(destination, ec);
    if (ec)
        return std::unexpected(Error::io);

    ReadArchive in(archive_read_new(), &archive_read_free);
    WriteArchive out(archive_write_disk_new(), &archive_write_free);
    if (!in || !out)
        return std::unexpected(Error::io);
    archive_read_support_format_tar(in.get());
    archive_read_support_filter_gzip(in.get());
    archive_read_support_filter_xz(in.get());
    archive_write_disk_set_options(out.get(), ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                  ARCHIVE_EXTRACT_SECURE_NODOTDOT);
    if (archive_read_open_filename(in.get(), archive.c_str(), 64 * 1024) != ARCHIVE_OK)
        return std::unexpected(Error::format);

    auto report = [&] {
        if (progress && archiveSize)
            progress(
                std::min(1.0, double(archive_filter_bytes(in.get(), -1)) / double(archiveSize)));
    };
    std::vector<fs::path> links;
    for (;;) {
        if (stop.stop_requested())
            return std::unexpected(Error::cancelled);
        struct archive_entry* entry = nullptr;
        const int read = archive_read_next_header(in.get(), &entry);
        if (read == ARCHIVE_EOF)
            break;
        if (read < ARCHIVE_WARN)
            return std::unexpected(Error::format);

        const auto relative = relativeName(archive_entry_pathname(entry));
        if (!relative)
            return std::unexpected(Error::unsafe);
        const auto type = archive_entry_filetype(entry);
        if (archive_entry_hardlink(entry) ||
            (type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK))
            return std::unexpected(Error::unsafe);
        if (relative->empty()) { // the folder itself ("./")
            if (type != AE_IFDIR)
                return std::unexpected(Error::unsafe);
            continue;
        }
        if (type == AE_IFLNK) {
            const char* to = archive_entry_symlink(entry);
            if (!to || !*to || to[0] == '/')
                return std::unexpected(Error::unsafe);
        }
        const fs::path target = root / *relative;
        archive_entry_copy_pathname(entry, target.c_str());
        // Plain modes only: no set-id bits, nothing writable by others.
        const bool executable = type == AE_IFDIR || (archive_entry_perm(entry) & 0111);
        archive_entry_set_perm(entry, executable ? 0755 : 0644);

        if (archive_write_header(out.get(), entry) < ARCHIVE_WARN)
            return std::unexpected(writeError());
        if (type == AE_IFREG) {
            const void* block = nullptr;
            size_t length = 0;
            la_int64_t offset = 0;
            int r;
            while ((r = archive_read_data_block(in.get(), &block, &length, &offset)) ==
                   ARCHIVE_OK) {
                if (archive_write_data_block(out.get(), block, length, offset) < ARCHIVE_OK)
                    return std::unexpected(Error::io);
                if (stop.stop_requested())
                    return std::unexpected(Error::cancelled);
                report();
            }
            if (r != ARCHIVE_EOF)
                return std::unexpected(Error::format);
        }
        if (archive_write_finish_entry(out.get()) < ARCHIVE_WARN)
            return std::unexpected(Error::io);
        if (type == AE_IFLNK) {
            if (!linkStaysInside(root, target))
                return std::unexpected(Error::unsafe);
            links.push_back(target);
        }
        report();
    }
    if (archive_write_close(out.get()) != ARCHIVE_OK)
        return std::unexpected(Error::io);
    // A link may lead out through links the archive made after it.
    for (const fs::path& link : links) {
        struct stat info {};
        if (::lstat(link.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
            !linkStaysInside(root, link))
            return std::unexpected(Error::unsafe);
    }
    if (progress)
        progress(1.0);
    return {};
}

} // namespace quorvel
