#include "tevro/core/storage.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
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

bool writeAtomically(const fs::path& target, const std::string& bytes, mode_t mode,
                     std::error_code* error) {
    auto fail = [error](int code) {
        if (error)
            *error = std::error_code(code, std::generic_category());
        return false;
    };
    std::error_code ec;
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), ec);
    fs::path tmp = target;
    tmp += ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return fail(errno);
    // A .tmp left by an earlier writer may carry wider permissions.
    int code = ::fchmod(fd, mode) == 0 ? 0 : errno;
    size_t done = 0;
    while (code == 0 && done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            code = n < 0 ? errno : EIO;
        else
            done += static_cast<size_t>(n);
    }
    if (code == 0 && ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && code == 0)
        code = errno;
    if (code == 0 && ::rename(tmp.c_str(), target.c_str()) != 0)
        code = errno;
    if (code != 0) {
        ::unlink(tmp.c_str());
        return fail(code);
    }
    // The rename is durable only once the folder's entry is on disk.
    fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool save(const Json& value, const fs::path& target, mode_t mode, std::error_code* error) {
    std::string bytes;
    try {
        bytes = encode(value);
    } catch (const std::exception&) {
        if (error)
            *error = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    return writeAtomically(target, bytes, mode, error);
}

std::expected<std::string, std::error_code> read(const fs::path& path, std::size_t maxBytes) {
    auto failure = [](int code) {
        return std::unexpected(std::error_code(code, std::generic_category()));
    };
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return failure(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int code = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return failure(code);
    }
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return failure(EFBIG);
    }
    std::string out;
    out.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int code = errno;
            ::close(fd);
            return failure(code);
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
        if (out.size() > maxBytes) {
            ::close(fd);
            return failure(EFBIG);
        }
    }
    ::close(fd);
    return out;
}

std::optional<std::string> read(const fs::path& path) {
    auto bytes = read(path, std::numeric_limits<std::size_t>::max());
    if (!bytes)
        return std::nullopt;
    return std::move(*bytes);
}

std::optional<Json> readJson(const fs::path& path, FileCheck& check) {
    check.file = path;
    auto bytes = read(path, kMaxDataFileBytes);
    if (!bytes) {
        if (bytes.error() == std::errc::no_such_file_or_directory) {
            check.result = FileCheck::Result::missing;
        } else if (bytes.error() == std::errc::file_too_large) {
            check.setAside("слишком большой файл");
        } else {
            check.result = FileCheck::Result::unreadable;
            check.reason = bytes.error().message();
        }
        return std::nullopt;
    }
    Json j = Json::parse(*bytes, nullptr, false);
    if (j.is_discarded()) {
        check.setAside(bytes->empty() ? "пустой файл" : "не JSON");
        return std::nullopt;
    }
    check.result = FileCheck::Result::read;
    return j;
}

namespace {

// A loader's check: the caller's, which may set files aside, or a scratch one
// that leaves the disk alone.
struct Checker {
    explicit Checker(FileCheck* given) : check(given ? *given : scratch), moves(given) {}
    void damaged(std::string why) {
        if (moves)
            check.setAside(std::move(why));
        else
            check.result = FileCheck::Result::keptInPlace;
    }
    FileCheck scratch;
    FileCheck& check;
    bool moves;
};

std::optional<Json> readJsonFor(const fs::path& path, Checker& c) {
    if (c.moves)
        return readJson(path, c.check);
    // Reading alone must not move anything.
    c.check.file = path;
    auto bytes = read(path, kMaxDataFileBytes);
    if (!bytes)
        return std::nullopt;
    Json j = Json::parse(*bytes, nullptr, false);
    if (j.is_discarded())
        return std::nullopt;
    return j;
}

} // namespace

AppSettings loadSettings(const fs::path& path, FileCheck* check) {
    Checker c(check);
    auto j = readJsonFor(path, c);
    if (!j)
        return AppSettings();
    auto settings = AppSettings::decode(*j);
    if (!settings) {
        c.damaged("не объект JSON");
        return AppSettings();
    }
    // A key the decoder could not take would be lost by the next save.
    if (!json::keeps(settings->encode(), *j))
        c.damaged("неверные или неизвестные ключи");
    return *settings;
}

bool saveSettings(const AppSettings& settings, const fs::path& path, std::error_code* error) {
    return save(settings.encode(), path, 0600, error);
}

TorrentMetaMap loadMeta(const fs::path& path, FileCheck* check) {
    Checker c(check);
    auto j = readJsonFor(path, c);
    if (!j)
        return {};
    if (!j->is_object()) {
        c.damaged("не объект JSON");
        return {};
    }
    TorrentMetaMap out;
    bool lossless = true;
    for (const auto& [id, value] : j->items()) {
        try {
            TorrentMeta meta = value.get<TorrentMeta>();
            lossless = lossless && json::keeps(Json(meta), value);
            out.emplace(id, std::move(meta));
        } catch (const std::exception&) {
            ++c.check.droppedEntries;
            lossless = false;
        }
    }
    if (!lossless)
        c.damaged(c.check.droppedEntries ? "повреждённые записи" : "неизвестные ключи");
    return out;
}

bool saveMeta(const TorrentMetaMap& meta, const fs::path& path, std::error_code* error) {
    Json j = Json::object();
    for (const auto& [id, m] : meta)
        j[id] = m;
    return save(j, path, 0644, error);
}

} // namespace tevro::Storage
