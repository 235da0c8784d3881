#pragma once

// A plain libtorrent session that seeds generated torrents on 127.0.0.1
// (no DHT, LSD, UPnP or NAT-PMP), can be throttled, and connects out to a
// downloader's port directly.

#include <memory>
#include <string>

#include <libtorrent/session.hpp>
#include <libtorrent/torrent_handle.hpp>

#include "tests/support/swarm/generated_torrent.h"

namespace tevro::swarm {

// Settings text for a bridge session that only talks to peers on 127.0.0.1.
std::string loopbackSettingsText();

class Seeder {
public:
    struct Options {
        int uploadLimit = 0;         // bytes/s, 0 unlimited
        std::string userAgent;       // client name peers see, "" for libtorrent's
        std::string peerFingerprint; // peer-id prefix, "" for libtorrent's
    };

    Seeder();
    explicit Seeder(const Options& options);
    ~Seeder();
    Seeder(const Seeder&) = delete;
    Seeder& operator=(const Seeder&) = delete;

    // The port it listens on at 127.0.0.1.
    int port() const { return m_port; }

    // Seeds the torrent from its generated files (no initial check).
    lt::torrent_handle seed(const GeneratedTorrent& torrent);

    // Rate limit for every peer, loopback ones included: libtorrent puts
    // 127.0.0.0/8 in its local peer class, exempt from the global limit, so
    // the seeder files every address under the global class instead.
    void setUploadLimit(int bytesPerSecond);

    // Connects the seeded copy of `torrent` to a peer at 127.0.0.1:port; a
    // no-op while already connected. Call it again after the peer dropped.
    void connect(const GeneratedTorrent& torrent, int port);

    // Number of peers connected to the seeded copy of `torrent`.
    int connectedPeers(const GeneratedTorrent& torrent);

    lt::session& session() { return *m_session; }

private:
    std::unique_ptr<lt::session> m_session;
    int m_port = 0;
};

} // namespace tevro::swarm
