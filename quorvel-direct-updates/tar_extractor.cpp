#include "quorvel-direct-updates/tar_extractor.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <optional>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

constexpr std::size_t kBlock = 512;
constexpr std::uint64_t kMaxMetadata = 1 << 20; // pax and long-name records

using Block = std::array<char, kBlock>;

std::string field(const Block& block, std::size_t offset, std::size_t length) {
    const char* start = block.data() + offset;
    return std::string(start, strnlen(start, length));
}

std::optional<std::uint64_t> octal(const Block& block, std::size_t offset, std::size_t length) {
    const unsigned char first = static_cast<unsigned char>(block[offset]);
    if (first & 0x80) { // base-256, as GNU tar writes large sizes
        std::uint64_t value = first & 0x7f;
        for (std::size_t i = 1; i < length; ++i) {
            if (value >> 56)
                return std::nullopt;
            value = (value << 8) | static_cast<unsigned char>(block[offset + i]);
        }
        return value;
    }
    std::uint64_t value = 0;
    bool any = false;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = block[offset + i];
        if (c == ' ' && !any)
            continue;
        if (c == '\0' || c == ' ')
            break;
        if (c < '0' || c > '7' || value >> 60)
            return std::nullopt;
        value = value * 8 + static_cast<std::uint64_t>(c - '0');
        any = true;
    }
    return value;
}

bool checksumHolds(const Block& block) {
    const auto stored = octal(block, 148, 8);
    if (!stored)
        return false;
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < kBlock; ++i)
        sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(block[i]);
    return sum == *stored;
}

// A relative name with no "..", turned into its parts; none when unsafe.
std::optional<std::vector<std::string>> safeParts(const std::string& name) {
    if (name.empty() || name.front() == '/')
        return std::nullopt;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t slash = name.find('/', start);
        const std::string part =
            name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part == "..")
            return std::nullopt;
        if (!part.empty() && part != ".")
            parts.push_back(part);
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return parts;
}

// Whether a link at `parts` pointing to `target` stays inside the folder, by name.
bool linkStaysInside(const std::vector<std::string>& parts, const std::string& target) {
    if (target.empty() || target.front() == '/')
        return false;
    std::vector<std::string> resolved(parts.begin(), parts.end() - 1);
    std::size_t start = 0;
    while (start <= target.size()) {
        const std::size_t slash = target.find('/', start);
        const std::string part =
            target.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part == "..") {
            if (resolved.empty())
                return false;
            resolved.pop_back();
        } else if (!part.empty() && part != ".") {
            resolved.push_back(part);
        }
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return true;
}

// Creates the parent folders of an entry, refusing to pass through anything but a real folder.
bool prepareParents(const std::filesystem::path& root, const std::vector<std::string>& parts) {
    std::filesystem::path current = root;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        current /= parts[i];
        struct stat info {};
        if (::lstat(current.c_str(), &info) == 0) {
            if (!S_ISDIR(info.st_mode))
                return false;
            continue;
        }
        if (::mkdir(current.c_str(), 0755) != 0)
            return false;
    }
    return true;
}

std::filesystem::path join(const std::filesystem::path& root,
                           const std::vector<std::string>& parts) {
    std::filesystem::path path = root;
    for (const std::string& part : parts)
        path /= part;
    return path;
}

// The "path" and "linkpath" records of a pax header.
void readPax(const std::string& data, std::optional<std::string>& path,
             std::optional<std::string>& linkPath) {
    std::size_t offset = 0;
    while (offset < data.size()) {
        const std::size_t space = data.find(' ', offset);
        if (space == std::string::npos)
            return;
        std::size_t length = 0;
        try {
            length = std::stoul(data.substr(offset, space - offset));
        } catch (...) {
            return;
        }
        if (length == 0 || offset + length > data.size())
            return;
        const std::string record = data.substr(space + 1, offset + length - space - 2);
        const std::size_t equals = record.find('=');
        if (equals != std::string::npos) {
            const std::string key = record.substr(0, equals);
            if (key == "path")
                path = record.substr(equals + 1);
            else if (key == "linkpath")
                linkPath = record.substr(equals + 1);
        }
        offset += length;
    }
}

} // namespace

std::expected<void, TarExtractor::Error>
TarExtractor::extract(const std::filesystem::path& archive,
                      const std::filesystem::path& destination,
                      const std::function<void(double)>& progress) {
    std::ifstream in(archive, std::ios::binary);
    if (!in)
        return std::unexpected(Error::io);
    std::error_code ec;
    const auto archiveSize = std::filesystem::file_size(archive, ec);
    if (ec)
        return std::unexpected(Error::io);
    std::filesystem::create_directories(destination, ec);
    if (ec)
        return std::unexpected(Error::io);

    std::optional<std::string> longName;
    std::optional<std::string> longLink;
    std::uint64_t consumed = 0;
    Block block{};
    bool sawEnd = false;
    auto readBlock = [&]() {
        if (!in.read(block.data(), kBlock))
            return false;
        consumed += kBlock;
        return true;
    };
    auto readData = [&](std::uint64_t size) -> std::optional<std::string> {
        if (size > kMaxMetadata)
            return std::nullopt;
        std::string data(size, '\0');
        if (size && !in.read(data.data(), static_cast<std::streamsize>(size)))
            return std::nullopt;
        const std::uint64_t padding = (kBlock - size % kBlock) % kBlock;
        in.ignore(static_cast<std::streamsize>(padding));
        consumed += size + padding;
        return data;
    };

    while (readBlock()) {
        if (std::all_of(block.begin(), block.end(), [](char c) { return c == '\0'; })) {
            sawEnd = true;
            break;
        }
        if (!checksumHolds(block))
            return std::unexpected(Error::format);
        const auto size = octal(block, 124, 12);
        if (!size)
            return std::unexpected(Error::format);
        const char type = block[156];

        if (type == 'x' || type == 'L' || type == 'K' || type == 'g') {
            auto data = readData(*size);
            if (!data)
                return std::unexpected(Error::format);
            if (type == 'x') {
                readPax(*data, longName, longLink);
            } else if (type == 'L') {
                longName = std::string(data->c_str());
            } else if (type == 'K') {
                longLink = std::string(data->c_str());
            }
            continue;
        }

        std::string name = field(block, 0, 100);
        const std::string prefix = field(block, 345, 155);
        if (!prefix.empty() && std::memcmp(block.data() + 257, "ustar", 5) == 0)
            name = prefix + "/" + name;
        if (longName)
            name = *std::exchange(longName, std::nullopt);
        std::string linkTarget = field(block, 157, 100);
        if (longLink)
            linkTarget = *std::exchange(longLink, std::nullopt);

        const auto parts = safeParts(name);
        if (!parts)
            return std::unexpected(Error::unsafe);
        const auto mode = octal(block, 100, 8).value_or(0644);

        if (parts->empty()) { // the folder itself ("./")
            if (type != '5')
                return std::unexpected(Error::unsafe);
            continue;
        }
        if (!prepareParents(destination, *parts))
            return std::unexpected(Error::unsafe);
        const std::filesystem::path target = join(destination, *parts);

        switch (type) {
        case '0':
        case '\0':
        case '7': {
            const int fd =
                ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                       (mode & 0111) ? 0755 : 0644);
            if (fd < 0)
                return std::unexpected(errno == ELOOP ? Error::unsafe : Error::io);
            std::uint64_t left = *size;
            std::vector<char> buffer(64 * 1024);
            bool failed = false;
            while (left > 0 && !failed) {
                const auto chunk =
                    static_cast<std::streamsize>(std::min<std::uint64_t>(left, buffer.size()));
                if (!in.read(buffer.data(), chunk)) {
                    ::close(fd);
                    return std::unexpected(Error::format);
                }
                failed = ::write(fd, buffer.data(), static_cast<std::size_t>(chunk)) != chunk;
                left -= static_cast<std::uint64_t>(chunk);
                consumed += static_cast<std::uint64_t>(chunk);
                if (progress && archiveSize)
                    progress(std::min(1.0, double(consumed) / double(archiveSize)));
            }
            ::fchmod(fd, (mode & 0111) ? 0755 : 0644);
            if (::close(fd) != 0 || failed)
                return std::unexpected(Error::io);
            const std::uint64_t padding = (kBlock - *size % kBlock) % kBlock;
            in.ignore(static_cast<std::streamsize>(padding));
            consumed += padding;
            break;
        }
        case '5': {
            struct stat info {};
            if (::lstat(target.c_str(), &info) == 0) {
                if (!S_ISDIR(info.st_mode))
                    return std::unexpected(Error::unsafe);
            } else if (::mkdir(target.c_str(), 0755) != 0) {
                return std::unexpected(Error::io);
            }
            break;
        }
        case '2': {
            if (!linkStaysInside(*parts, linkTarget))
                return std::unexpected(Error::unsafe);
            if (::symlink(linkTarget.c_str(), target.c_str()) != 0)
                return std::unexpected(errno == EEXIST ? Error::unsafe : Error::io);
            break;
        }
        default: // hard links, devices, fifos
            return std::unexpected(Error::unsafe);
        }
        if (progress && archiveSize)
            progress(std::min(1.0, double(consumed) / double(archiveSize)));
    }
    if (!sawEnd)
        return std::unexpected(Error::format);
    if (progress)
        progress(1.0);
    return {};
}

} // namespace quorvel
