#include "tevro/core/storage.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tevro/core/machine_info.h"

namespace tevro::Storage {

namespace fs = std::filesystem;

fs::path resolveHome() {
    const char* v = std::getenv("TEVRO_HOME");
    if (v && *v)
        return fs::absolute(fs::path(v));
    return fs::path(machine()->dataLocation()) / "Tevro";
}

const fs::path& home() {
    static const fs::path value = resolveHome();
    return value;
}

namespace {

std::string quoted(const std::string& s) {
    std::string raw = Json(s).dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string out;
    out.reserve(raw.size() + 4);
    for (char c : raw) {
        if (c == '/')
            out += '\\';
        out += c;
    }
    return out;
}

void write(const Json& v, int depth, std::string& out) {
    auto indent = [&out](int d) { out.append(static_cast<size_t>(d) * 2, ' '); };
    if (v.is_object()) {
        if (v.empty()) {
            out += "{}";
            return;
        }
        out += "{\n";
        bool first = true;
        for (const auto& [key, value] : v.items()) { // nlohmann keeps keys sorted
            if (!first)
                out += ",\n";
            first = false;
            indent(depth + 1);
            out += quoted(key);
            out += " : ";
            write(value, depth + 1, out);
        }
        out += '\n';
        indent(depth);
        out += '}';
    } else if (v.is_array()) {
        if (v.empty()) {
            out += "[]";
            return;
        }
        out += "[\n";
        bool first = true;
        for (const auto& value : v) {
            if (!first)
                out += ",\n";
            first = false;
            indent(depth + 1);
            write(value, depth + 1, out);
        }
        out += '\n';
        indent(depth);
        out += ']';
    } else if (v.is_string()) {
        out += quoted(v.get<std::string>());
    } else {
        out += v.dump(-1, ' ', false, Json::error_handler_t::replace);
    }
}

} // namespace

std::string encode(const Json& value) {
    std::string out;
    write(value, 0, out);
    return out;
}

bool writeAtomically(const fs::path& target, const std::string& bytes, mode_t mode) {
    std::error_code ec;
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), ec);
    fs::path tmp = target;
    tmp += ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    // A .tmp left by an earlier writer may carry wider permissions.
    bool ok = ::fchmod(fd, mode) == 0;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    // The rename is durable only once the folder's entry is on disk.
    fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool save(const Json& value, const fs::path& target, mode_t mode) {
    std::string bytes;
    try {
        bytes = encode(value);
    } catch (const std::exception&) {
        return false;
    }
    return writeAtomically(target, bytes, mode);
}

std::optional<std::string> read(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return out;
}

void keepCorrupt(const fs::path& path) {
    auto bytes = read(path);
    if (!bytes)
        return;
    fs::path copy = path;
    copy += ".corrupt";
    struct stat st {};
    mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0600;
    writeAtomically(copy, *bytes, mode);
}

AppSettings loadSettings(const fs::path& path) {
    auto bytes = read(path);
    if (!bytes)
        return AppSettings();
    Json j = Json::parse(*bytes, nullptr, false);
    if (auto settings = AppSettings::decode(j))
        return *settings;
    keepCorrupt(path);
    return AppSettings();
}

bool saveSettings(const AppSettings& settings, const fs::path& path) {
    return save(settings.encode(), path, 0600);
}

TorrentMetaMap loadMeta(const fs::path& path) {
    auto bytes = read(path);
    if (!bytes)
        return {};
    auto decoded = json::decode<TorrentMetaMap>(*bytes);
    if (decoded)
        return *decoded;
    keepCorrupt(path);
    return {};
}

bool saveMeta(const TorrentMetaMap& meta, const fs::path& path) {
    Json j = Json::object();
    for (const auto& [id, m] : meta)
        j[id] = m;
    return save(j, path);
}

} // namespace tevro::Storage
