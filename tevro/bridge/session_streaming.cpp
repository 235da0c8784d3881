// Opening streaming readers, prefetching ahead of playback, and the progress
// of the piece a reader waits for.

#include "tevro/bridge/session.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <libtorrent/torrent_info.hpp>
#include <libtorrent/torrent_status.hpp>

#include "tevro/bridge/piece_cache.h"
#include "tevro/bridge/piece_span.h"
#include "tevro/bridge/reader_registry.h"
#include "tevro/bridge/stream_reader.h"

namespace tevro::bridge {

namespace {

// Makes an unwanted file wanted (priority 4). libtorrent 2.0 applies file
// priorities through its disk thread and then resets the piece priorities,
// which loses piece deadlines set in between: wait (briefly) until the file's
// pieces carry the new priority before anyone sets deadlines on them.
void wantFile(const lt::torrent_handle& h, lt::file_index_t file, PieceSpan span) {
    using namespace std::chrono_literals;
    if (h.file_priority(file) != lt::dont_download)
        return;
    h.file_priority(file, lt::default_priority);
    auto limit = std::chrono::steady_clock::now() + 1s;
    while (std::chrono::steady_clock::now() < limit) {
        std::vector<lt::download_priority_t> pieces = h.get_piece_priorities();
        bool applied = true;
        for (int p = span.first; p <= span.last && applied; ++p)
            applied = p < static_cast<int>(pieces.size()) &&
                      pieces[static_cast<std::size_t>(p)] != lt::dont_download;
        if (applied)
            return;
        std::this_thread::sleep_for(5ms);
    }
}

} // namespace

tb_reader* Session::openReader(const std::string& id, int file) {
    awaitRestored(id);
    lt::torrent_handle h;
    {
        std::lock_guard lock(m_stateMutex);
        auto it = m_torrents.find(id);
        if (it == m_torrents.end() || !it->second.handle.is_valid())
            return nullptr;
        checkFiles(id, it->second);
        if (!it->second.missingText.empty())
            return nullptr;
        h = it->second.handle;
    }
    try {
        auto ti = h.torrent_file();
        if (!ti || file < 0 || file >= ti->num_files())
            return nullptr;
        const lt::file_storage& fs = ti->files();
        lt::file_index_t f(file);
        PieceSpan pieces = PieceSpan::of(fs, file);
        lt::torrent_status st = h.status(lt::torrent_handle::query_save_path);
        StreamReader::FileSpan fileSpan{
            file,
            fs.file_offset(f),
            fs.file_size(f),
            fs.piece_length(),
            fs.file_size(f) > 0 ? pieces.first
                                : static_cast<int>(fs.file_offset(f) / fs.piece_length()),
            pieces.last,
            fs.file_path(f, st.save_path)};
        wantFile(h, f, pieces);
        if (st.flags & lt::torrent_flags::paused) {
            h.unset_flags(lt::torrent_flags::auto_managed);
            h.resume();
        }
        auto* reader = new tb_reader(h, id, std::move(fileSpan), m_pieces, m_readers);
        reader->start();
        return reader;
    } catch (const std::exception&) {
        return nullptr;
    }
}

void Session::prefetch(const std::string& id, int file, std::int64_t span, double fraction) {
    auto h = handleOf(id);
    if (!h)
        return;
    try {
        auto ti = h->torrent_file();
        if (!ti || file < 0 || file >= ti->num_files())
            return;
        const lt::file_storage& fs = ti->files();
        lt::file_index_t f(file);
        std::int64_t size = fs.file_size(f);
        if (size < 1)
            return;
        PieceSpan whole = PieceSpan::of(fs, file);
        wantFile(*h, f, whole);
        // NaN clamps to the start.
        double at = fraction >= 0 ? std::min(fraction, 1.0) : 0.0;
        auto position = static_cast<std::int64_t>(at * static_cast<double>(size));
        std::int64_t offset = fs.file_offset(f);
        std::int64_t length = fs.piece_length();
        auto pieceAt = [&](std::int64_t inFile) {
            return static_cast<int>((offset + inFile) / length);
        };
        std::set<int> pieces{whole.first, whole.last};
        int from = pieceAt(std::max<std::int64_t>(position - span / 4, 0));
        int to = pieceAt(std::min<std::int64_t>(position + span, size - 1));
        for (int p = from; p <= to; ++p)
            pieces.insert(p);
        lt::torrent_status st = h->status(lt::torrent_handle::query_pieces);
        int k = 0;
        for (int p : pieces) {
            bool held =
                st.is_seeding || (p < st.pieces.size() && st.pieces.get_bit(lt::piece_index_t(p)));
            if (held)
                continue;
            h->set_piece_deadline(lt::piece_index_t(p), 2000 + k * 400);
            ++k;
        }
    } catch (const std::exception&) {
    }
}

bool Session::streamWaiting(const std::string& id, int file) {
    return m_readers->waitingPiece(id, file).has_value();
}

double Session::streamProgress(const std::string& id, int file) {
    auto waiting = m_readers->waitingPiece(id, file);
    if (!waiting)
        return -1;
    const auto& [h, piece] = *waiting;
    try {
        if (!h.is_valid())
            return -1;
        for (const auto& partial : h.get_download_queue()) {
            if (static_cast<int>(partial.piece_index) != piece)
                continue;
            if (partial.blocks_in_piece < 1)
                return 0;
            return static_cast<double>(partial.finished + partial.writing) /
                   partial.blocks_in_piece;
        }
    } catch (const std::exception&) {
        return -1;
    }
    return 0;
}

} // namespace tevro::bridge
