#include "tevro/bridge/torrent_inspection.h"

#include <libtorrent/announce_entry.hpp>
#include <libtorrent/torrent_info.hpp>

#include "tevro/bridge/json_writer.h"
#include "tevro/bridge/torrent_id.h"
#include "tevro/bridge/torrent_loader.h"

namespace tevro::bridge {

std::string TorrentInspection::json(const char* path) {
    auto refusal = [](const std::string& why) {
        JsonWriter err;
        err.beginObject().key("error").text(why).endObject();
        return err.take();
    };
    JsonWriter w;
    try {
        auto loaded = TorrentLoader::load(path);
        if (!loaded)
            return refusal(loaded.error());
        const lt::torrent_info& ti = **loaded;
        const lt::file_storage& fs = ti.files();
        w.beginObject();
        w.key("id").text(torrentId(ti.info_hashes()));
        w.key("name").text(ti.name());
        w.key("size").integer(ti.total_size());
        w.key("pieceLength").integer(ti.piece_length());
        w.key("pieces").integer(ti.num_pieces());
        w.key("private").boolean(ti.priv());
        w.key("comment").text(ti.comment());
        w.key("creator").text(ti.creator());
        w.key("trackers").beginArray();
        for (const auto& t : ti.trackers())
            w.text(t.url);
        w.endArray();
        w.key("files").beginArray();
        for (int i = 0; i < fs.num_files(); ++i) {
            lt::file_index_t f(i);
            w.beginObject();
            w.key("i").integer(i);
            w.key("path").text(fs.file_path(f));
            w.key("size").integer(fs.file_size(f));
            w.key("pad").boolean(fs.pad_file_at(f));
            w.endObject();
        }
        w.endArray();
        w.endObject();
        return w.take();
    } catch (const std::exception& e) {
        return refusal(e.what());
    }
}

} // namespace tevro::bridge
