#include "tevro/bridge/torrent_loader.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libtorrent/bdecode.hpp>
#include <libtorrent/error_code.hpp>

namespace tevro::bridge {

namespace {

std::string unreadable(int error) {
    return std::string("Не удалось прочитать файл: ") + std::strerror(error);
}

std::string tooLarge() {
    return "Файл торрента слишком большой: больше " +
           std::to_string(TorrentLoader::kMaxBytes / 1'000'000) + " МБ";
}

// FNV-1a over the path as the library compares it (ASCII case folded), one
// step per byte, so every prefix costs nothing more.
struct PathHash {
    std::uint64_t value = 14695981039346656037ull;
    void add(char c) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b >= 'A' && b <= 'Z')
            b = static_cast<unsigned char>(b - 'A' + 'a');
        value = (value ^ b) * 1099511628211ull;
    }
    void add(std::string_view text) {
        for (char c : text)
            add(c);
    }
};

// How many files the library would rename because their path is already
// taken by an earlier file or a folder; pads of one size may share a path.
std::size_t repeatedPaths(const lt::file_storage& fs) {
    std::unordered_set<std::uint64_t> folders;
    PathHash root;
    root.add(fs.name());
    for (const std::string& path : fs.paths()) {
        PathHash h = root;
        if (!path.empty())
            h.add('/');
        for (char c : path) {
            if (c == '/')
                folders.insert(h.value);
            h.add(c);
        }
        folders.insert(h.value);
    }
    struct Seen {
        bool pad;
        std::int64_t size;
    };
    std::unordered_map<std::uint64_t, Seen> files;
    files.reserve(static_cast<std::size_t>(fs.num_files()));
    std::size_t repeats = 0;
    for (lt::file_index_t i : fs.file_range()) {
        PathHash h;
        h.add(fs.file_path(i));
        bool pad = fs.pad_file_at(i);
        std::int64_t size = fs.file_size(i);
        if (folders.contains(h.value)) {
            ++repeats;
            continue;
        }
        auto [at, fresh] = files.try_emplace(h.value, Seen{pad, size});
        if (!fresh && !(pad && at->second.pad && at->second.size == size))
            ++repeats;
    }
    return repeats;
}

} // namespace

std::expected<std::string, std::string> TorrentLoader::read(const char* path) {
    // Non-blocking: opening a FIFO must not wait for a writer.
    int fd = ::open(path ? path : "", O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::unexpected(errno == EISDIR ? "Это папка, а не файл торрента"
                                               : unreadable(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        return std::unexpected(unreadable(errno));
    if (S_ISDIR(info.st_mode))
        return std::unexpected("Это папка, а не файл торрента");
    if (!S_ISREG(info.st_mode))
        return std::unexpected("Это не файл торрента, а канал, сокет или устройство");
    if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > kMaxBytes)
        return std::unexpected(tooLarge());
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t got = 0;
    // One byte more than the size it had: a file still growing is caught.
    while (got < bytes.size()) {
        ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::unexpected(unreadable(errno));
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
        if (got == bytes.size() && got <= kMaxBytes)
            bytes.resize(std::min(bytes.size() * 2, kMaxBytes + 1));
    }
    if (got > kMaxBytes)
        return std::unexpected(tooLarge());
    bytes.resize(got);
    return bytes;
}

std::expected<std::shared_ptr<lt::torrent_info>, std::string>
TorrentLoader::parse(std::string_view bytes) {
    const lt::load_torrent_limits limits;
    if (bytes.size() > kMaxBytes)
        return std::unexpected(tooLarge());
    lt::error_code ec;
    lt::bdecode_node root =
        lt::bdecode(bytes, ec, nullptr, limits.max_decode_depth, limits.max_decode_tokens);
    // Some of the library's refusals carry no error code ("Success").
    auto why = [&ec] {
        return ec ? ec.message() : lt::error_code(lt::errors::torrent_file_parse_failed).message();
    };
    if (ec)
        return std::unexpected(why());
    // The info section alone first: it does not rename repeated paths, so a
    // torrent repeating one path thousands of times is refused cheaply.
    if (root.type() == lt::bdecode_node::dict_t) {
        if (lt::bdecode_node info = root.dict_find_dict("info")) {
            // The library reads a "files" that is no list as a missing one
            // and then blames the length.
            lt::bdecode_node files = info.dict_find("files");
            if (files && files.type() != lt::bdecode_node::list_t)
                return std::unexpected(
                    lt::error_code(lt::errors::torrent_file_parse_failed).message());
            if (auto refused = repeatedPathsRefusal(info))
                return std::unexpected(*refused);
        }
    }
    auto ti = std::make_shared<lt::torrent_info>(root, ec);
    if (ec || !ti->is_valid())
        return std::unexpected(why());
    const lt::file_storage& fs = ti->files();
    bool anyFile = false;
    for (lt::file_index_t i : fs.file_range())
        anyFile |= !fs.pad_file_at(i);
    if (!anyFile)
        return std::unexpected("В торренте нет файлов для загрузки: только файлы выравнивания");
    return ti;
}

std::optional<std::string> TorrentLoader::repeatedPathsRefusal(const lt::bdecode_node& info) {
    // Too few entries to repeat a path that often: no parse needed.
    lt::bdecode_node files = info.dict_find_list("files");
    if (!files || files.list_size() <= static_cast<int>(kMaxRepeatedPaths))
        return std::nullopt;
    lt::error_code ec;
    lt::torrent_info probe{lt::info_hash_t()};
    if (!probe.parse_info_section(info, ec, lt::load_torrent_limits().max_pieces))
        return std::nullopt;
    std::size_t repeats = repeatedPaths(probe.files());
    if (repeats <= kMaxRepeatedPaths)
        return std::nullopt;
    return "В торренте слишком много файлов с одинаковым путём: " + std::to_string(repeats);
}

std::expected<std::shared_ptr<lt::torrent_info>, std::string>
TorrentLoader::load(const char* path) {
    auto bytes = read(path);
    if (!bytes)
        return std::unexpected(bytes.error());
    return parse(*bytes);
}

} // namespace tevro::bridge
