#include "tevro/bridge/state_files.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tevro::bridge::state_files {

bool writeAtomically(const std::string& path, std::string_view bytes, std::error_code* error) {
    auto fail = [error](int code) {
        if (error)
            *error = std::error_code(code, std::generic_category());
        return false;
    };
    std::string tmp = path + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(errno);
    int code = 0;
    std::size_t done = 0;
    while (code == 0 && done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            code = n < 0 ? errno : EIO;
        else
            done += static_cast<std::size_t>(n);
    }
    // The bytes reach the disk before the name does: after a power loss the
    // file is the old one or the new one, never an empty one.
    if (code == 0 && ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && code == 0)
        code = errno;
    if (code == 0 && ::rename(tmp.c_str(), path.c_str()) != 0)
        code = errno;
    if (code != 0) {
        ::unlink(tmp.c_str());
        return fail(code);
    }
    syncFolderOf(path);
    return true;
}

void syncFolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::expected<std::string, std::error_code> read(const std::string& path, std::size_t maxBytes) {
    auto failure = [](int code) {
        return std::unexpected(std::error_code(code, std::generic_category()));
    };
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return failure(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return failure(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return failure(EFBIG);
    }
    std::string out;
    out.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int code = errno;
            ::close(fd);
            return failure(code);
        }
        if (n == 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
        if (out.size() > maxBytes) {
            ::close(fd);
            return failure(EFBIG);
        }
    }
    ::close(fd);
    return out;
}

std::set<int> parsePresence(std::string_view text) {
    std::set<int> out;
    auto isSpace = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
    bool first = true;
    while (!text.empty()) {
        while (!text.empty() && isSpace(text.front()))
            text.remove_prefix(1);
        std::size_t end = 0;
        while (end < text.size() && !isSpace(text[end]))
            ++end;
        if (end == 0)
            break;
        std::string word(text.substr(0, end));
        text.remove_prefix(end);
        if (first) {
            if (word != "v1")
                return {};
            first = false;
            continue;
        }
        char* stop = nullptr;
        long v = std::strtol(word.c_str(), &stop, 10);
        if (stop && *stop == '\0' && v >= 0 && v <= 0x7fffffff)
            out.insert(static_cast<int>(v));
    }
    return out;
}

std::string formatPresence(const std::set<int>& indices) {
    std::string out = "v1\n";
    for (int i : indices) {
        out += std::to_string(i);
        out += '\n';
    }
    return out;
}

std::string resumePath(const std::string& dir, const std::string& id) {
    return dir + "/resume/" + id + ".resume";
}

std::string presencePath(const std::string& dir, const std::string& id) {
    return dir + "/resume/" + id + ".presence";
}

std::string sessionStatePath(const std::string& dir) {
    return dir + "/session.state";
}

} // namespace tevro::bridge::state_files
