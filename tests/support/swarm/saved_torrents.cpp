#include "tests/support/swarm/saved_torrents.h"

#include <ctime>
#include <fstream>
#include <sstream>

#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/bencode.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/hasher.hpp>
#include <libtorrent/torrent_flags.hpp>
#include <libtorrent/torrent_info.hpp>
#include <libtorrent/write_resume_data.hpp>

#include "tests/support/swarm/generated_torrent.h"

namespace fs = std::filesystem;

namespace tevro::swarm {

std::vector<std::string> writeSavedTorrents(const fs::path& stateDir, const fs::path& downloads,
                                            int count, SavedAs as, const std::string& prefix) {
    constexpr int kSize = 16 * 1024;
    fs::create_directories(stateDir / "resume");
    std::time_t base = std::time(nullptr) - count - 60;
    std::vector<std::string> ids;
    for (int i = 0; i < count; ++i) {
        std::string name = prefix + "." + std::to_string(i);
        std::string inTorrent = name + "/" + name + ".bin";
        std::string bytes = GeneratedTorrent::content(std::uint32_t(i + 7), inTorrent, kSize);
        fs::create_directories(downloads / name);
        std::ofstream(downloads / inTorrent, std::ios::binary)
            .write(bytes.data(), std::streamsize(bytes.size()));
        lt::file_storage files;
        files.add_file(inTorrent, kSize);
        lt::create_torrent ct(files, kSize, lt::create_torrent::v1_only);
        ct.set_hash(lt::piece_index_t(0), lt::hasher(bytes.data(), kSize).final());
        std::vector<char> buf;
        lt::bencode(std::back_inserter(buf), ct.generate());
        lt::add_torrent_params p;
        p.ti = std::make_shared<lt::torrent_info>(buf, lt::from_span);
        p.save_path = downloads.string();
        p.flags = as == SavedAs::paused   ? lt::torrent_flags::paused
                  : as == SavedAs::queued ? lt::torrent_flags::paused | lt::torrent_flags::auto_managed
                                          : lt::torrent_flags::auto_managed;
        p.added_time = base + i;
        p.completed_time = base + i;
        p.have_pieces.resize(p.ti->num_pieces(), true);
        std::ostringstream id;
        id << p.ti->info_hashes().v1;
        std::vector<char> resume = lt::write_resume_data_buf(p);
        std::ofstream(stateDir / "resume" / (id.str() + ".resume"), std::ios::binary)
            .write(resume.data(), std::streamsize(resume.size()));
        std::ofstream(stateDir / "resume" / (id.str() + ".presence")) << "v1\n0\n";
        ids.push_back(id.str());
    }
    return ids;
}

} // namespace tevro::swarm
