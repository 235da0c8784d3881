#include "tests/support/playback/media_torrent.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <vector>

#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/bencode.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/file_storage.hpp>
#include <libtorrent/torrent_status.hpp>

namespace tevro::playback {

MediaTorrent MediaTorrent::create(const std::filesystem::path& folder, const std::string& name,
                                  int pieceSize) {
    namespace fs = std::filesystem;
    std::vector<fs::path> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder / name))
        if (entry.is_regular_file())
            paths.push_back(fs::relative(entry.path(), folder));
    std::sort(paths.begin(), paths.end());
    lt::file_storage files;
    for (const auto& p : paths)
        files.add_file(p.generic_string(), static_cast<std::int64_t>(fs::file_size(folder / p)));
    lt::create_torrent ct(files, pieceSize);
    ct.set_creator("tevro tests");
    lt::set_piece_hashes(ct, folder.string());
    std::vector<char> bytes;
    lt::bencode(std::back_inserter(bytes), ct.generate());

    MediaTorrent t;
    t.m_savePath = folder;
    t.m_torrentPath = folder / (name + ".torrent");
    std::ofstream out(t.m_torrentPath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + t.m_torrentPath.string());
    t.m_info = std::make_shared<lt::torrent_info>(bytes, lt::from_span);
    return t;
}

void MediaTorrent::seed(swarm::Seeder& seeder) const {
    lt::add_torrent_params params;
    params.ti = std::make_shared<lt::torrent_info>(*m_info);
    params.save_path = m_savePath.string();
    params.flags |= lt::torrent_flags::seed_mode;
    params.flags &= ~(lt::torrent_flags::paused | lt::torrent_flags::auto_managed);
    seeder.session().add_torrent(std::move(params));
}

void MediaTorrent::connect(swarm::Seeder& seeder, int port) const {
    lt::torrent_handle h = seeder.session().find_torrent(m_info->info_hashes().get_best());
    if (h.is_valid())
        h.connect_peer(
            lt::tcp::endpoint(lt::make_address("127.0.0.1"), static_cast<unsigned short>(port)));
}

int MediaTorrent::connectedPeers(swarm::Seeder& seeder) const {
    lt::torrent_handle h = seeder.session().find_torrent(m_info->info_hashes().get_best());
    return h.is_valid() ? h.status().num_peers : 0;
}

} // namespace tevro::playback
