#include "tests/support/swarm/generated_torrent.h"

#include <fstream>
#include <stdexcept>

#include <libtorrent/bencode.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/file_storage.hpp>
#include <libtorrent/magnet_uri.hpp>

namespace tevro::swarm {

namespace {

std::string hex(const char* bytes, int n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < n; ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

} // namespace

std::string GeneratedTorrent::content(std::uint32_t seed, const std::string& path,
                                      std::int64_t size) {
    std::uint64_t x = 0x9E3779B97F4A7C15ull ^ seed;
    for (char c : path)
        x = (x ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    std::string out(static_cast<std::size_t>(size), '\0');
    for (std::size_t i = 0; i < out.size(); i += 8) {
        // xorshift64*: fast, and different at every offset.
        x ^= x >> 12;
        x ^= x << 25;
        x ^= x >> 27;
        std::uint64_t v = x * 0x2545F4914F6CDD1Dull;
        for (std::size_t k = 0; k < 8 && i + k < out.size(); ++k)
            out[i + k] = static_cast<char>(v >> (8 * k));
    }
    return out;
}

GeneratedTorrent GeneratedTorrent::create(const std::filesystem::path& folder,
                                          const Options& options) {
    std::filesystem::create_directories(folder);
    lt::file_storage fs;
    bool single = options.files.size() == 1 && options.files[0].path.find('/') == std::string::npos;
    for (const auto& f : options.files) {
        std::string inTorrent = single ? f.path : options.name + "/" + f.path;
        std::filesystem::path onDisk = folder / inTorrent;
        std::filesystem::create_directories(onDisk.parent_path());
        std::ofstream out(onDisk, std::ios::binary | std::ios::trunc);
        std::string bytes = content(options.seed, f.path, f.size);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + onDisk.string());
        fs.add_file(inTorrent, f.size);
    }
    lt::create_flags_t flags = options.v1Only ? lt::create_torrent::v1_only : lt::create_flags_t{};
    lt::create_torrent ct(fs, options.pieceSize, flags);
    int tier = 0;
    for (const auto& url : options.trackers)
        ct.add_tracker(url, tier++);
    ct.set_priv(options.isPrivate);
    ct.set_creator("tevro tests");
    lt::set_piece_hashes(ct, folder.string());
    std::vector<char> buf;
    lt::bencode(std::back_inserter(buf), ct.generate());

    GeneratedTorrent t;
    t.m_seed = options.seed;
    t.m_savePath = folder;
    t.m_torrentPath = folder.string() + ".torrent";
    std::ofstream out(t.m_torrentPath, std::ios::binary | std::ios::trunc);
    out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
    out.close();
    t.m_info = std::make_shared<lt::torrent_info>(buf, lt::from_span);
    return t;
}

std::string GeneratedTorrent::expectedId() const {
    lt::info_hash_t ih = infoHashes();
    return ih.has_v2() ? hex(ih.v2.data(), 20) : hex(ih.v1.data(), 20);
}

std::string GeneratedTorrent::magnetV1() const {
    return "magnet:?xt=urn:btih:" + hex(infoHashes().v1.data(), 20) + "&dn=" + m_info->name();
}

std::string GeneratedTorrent::magnet() const {
    return lt::make_magnet_uri(*m_info);
}

std::string GeneratedTorrent::expectedBytes(int index) const {
    const lt::file_storage& fs = m_info->files();
    lt::file_index_t f(index);
    std::string path = fs.file_path(f);
    // Generated content is keyed by the path inside the torrent's folder.
    bool single = fs.num_files() == 1 || path.find('/') == std::string::npos;
    std::string key = single ? path : path.substr(path.find('/') + 1);
    return content(m_seed, key, fs.file_size(f));
}

std::filesystem::path GeneratedTorrent::filePath(const std::filesystem::path& savePath,
                                                 int index) const {
    return savePath / m_info->files().file_path(lt::file_index_t(index));
}

} // namespace tevro::swarm
