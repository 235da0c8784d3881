#include "tevro/bridge/hold_guard.h"

#include <utility>

#include <libtorrent/torrent_status.hpp>

#include "tevro/bridge/reader_registry.h"

namespace tevro::bridge {

HoldGuard::HoldGuard(lt::torrent_handle handle, std::weak_ptr<ReaderRegistry> readers)
    : m_handle(std::move(handle)), m_readers(std::move(readers)) {}

void HoldGuard::on_piece_pass(lt::piece_index_t) {
    auto readers = m_readers.lock();
    if (!readers || !readers->hold().holds(m_handle))
        return;
    try {
        // Handle calls made on the network thread run inline, so the piece
        // is wanted again before libtorrent looks whether the torrent is done.
        lt::torrent_status st = m_handle.status(lt::torrent_handle::query_pieces);
        if (!st.is_finished || st.is_seeding)
            return;
        if (auto spare = readers->hold().takeSpare(m_handle, st.pieces))
            m_handle.prioritize_pieces(PieceHold::Priorities{*spare});
    } catch (const std::exception&) {
    }
}

std::function<std::shared_ptr<lt::torrent_plugin>(const lt::torrent_handle&, lt::client_data_t)>
HoldGuard::factory(std::weak_ptr<ReaderRegistry> readers) {
    return [readers](const lt::torrent_handle& handle, lt::client_data_t) {
        return std::make_shared<HoldGuard>(handle, readers);
    };
}

} // namespace tevro::bridge
