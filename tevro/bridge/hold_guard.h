#pragma once

// A torrent extension that keeps a streaming hold from finishing a torrent.
// While a hold stands only a few pieces are wanted, and when the last of them
// passes libtorrent takes the torrent for finished at once: it announces it,
// tells its peers it only uploads and closes its connections to seeds. The
// extension hears of every passed piece on the network thread before that
// check, and if the torrent would finish with pieces still held back it makes
// one of them wanted again there and then.

#include <functional>
#include <memory>

#include <libtorrent/extensions.hpp>
#include <libtorrent/torrent_handle.hpp>

namespace tevro::bridge {

class ReaderRegistry;

class HoldGuard final : public lt::torrent_plugin {
public:
    HoldGuard(lt::torrent_handle handle, std::weak_ptr<ReaderRegistry> readers);

    void on_piece_pass(lt::piece_index_t piece) override;

    // For lt::session::add_extension.
    static std::function<std::shared_ptr<lt::torrent_plugin>(const lt::torrent_handle&,
                                                             lt::client_data_t)>
    factory(std::weak_ptr<ReaderRegistry> readers);

private:
    const lt::torrent_handle m_handle;
    const std::weak_ptr<ReaderRegistry> m_readers;
};

} // namespace tevro::bridge
