#include "tests/support/swarm/seeder.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/ip_filter.hpp>
#include <libtorrent/settings_pack.hpp>
#include <libtorrent/torrent_status.hpp>

namespace tevro::swarm {

std::string loopbackSettingsText() {
    return "enable_dht=0\n"
           "enable_lsd=0\n"
           "enable_natpmp=0\n"
           "enable_upnp=0\n"
           "enable_incoming_utp=0\n"
           "enable_outgoing_utp=0\n"
           "allow_multiple_connections_per_ip=1\n"
           "listen_interfaces=127.0.0.1:0";
}

Seeder::Seeder() : Seeder(Options{}) {}

Seeder::Seeder(const Options& options) {
    lt::settings_pack pack;
    pack.set_str(lt::settings_pack::listen_interfaces, "127.0.0.1:0");
    pack.set_bool(lt::settings_pack::enable_dht, false);
    pack.set_bool(lt::settings_pack::enable_lsd, false);
    pack.set_bool(lt::settings_pack::enable_upnp, false);
    pack.set_bool(lt::settings_pack::enable_natpmp, false);
    pack.set_bool(lt::settings_pack::enable_incoming_utp, false);
    pack.set_bool(lt::settings_pack::enable_outgoing_utp, false);
    pack.set_bool(lt::settings_pack::allow_multiple_connections_per_ip, true);
    pack.set_int(lt::settings_pack::alert_mask, 0);
    // The rate limiter hands out its quota once a tick: at the default half
    // second a throttled seeder sends in bursts and answers a new peer late.
    pack.set_int(lt::settings_pack::tick_interval, 25);
    // A new connection's send buffer is sized from its upload rate of the last
    // second: before its first second it holds one block, and each block then
    // waits for the previous one's disk read. Let a fresh peer have several
    // blocks in flight, as a seeder already sending would.
    pack.set_int(lt::settings_pack::send_buffer_low_watermark, 1024 * 1024);
    if (!options.userAgent.empty())
        pack.set_str(lt::settings_pack::user_agent, options.userAgent);
    if (!options.peerFingerprint.empty())
        pack.set_str(lt::settings_pack::peer_fingerprint, options.peerFingerprint);
    m_session = std::make_unique<lt::session>(lt::session_params(std::move(pack)));
    for (int i = 0; i < 200 && m_port == 0; ++i) {
        m_port = m_session->listen_port();
        if (m_port == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (m_port == 0)
        throw std::runtime_error("seeder did not start listening");
    if (options.uploadLimit > 0)
        setUploadLimit(options.uploadLimit);
}

Seeder::~Seeder() = default;

lt::torrent_handle Seeder::seed(const GeneratedTorrent& torrent) {
    lt::add_torrent_params params;
    params.ti = std::make_shared<lt::torrent_info>(*torrent.info());
    params.save_path = torrent.savePath().string();
    params.flags |= lt::torrent_flags::seed_mode;
    params.flags &= ~(lt::torrent_flags::paused | lt::torrent_flags::auto_managed);
    return m_session->add_torrent(std::move(params));
}

void Seeder::setUploadLimit(int bytesPerSecond) {
    lt::settings_pack pack;
    pack.set_int(lt::settings_pack::upload_rate_limit, bytesPerSecond);
    m_session->apply_settings(pack);
    std::uint32_t global = 1u << static_cast<std::uint32_t>(lt::session::global_peer_class_id);
    lt::ip_filter classes;
    classes.add_rule(lt::make_address("0.0.0.0"), lt::make_address("255.255.255.255"), global);
    classes.add_rule(lt::make_address("::"),
                     lt::make_address("ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"), global);
    m_session->set_peer_class_filter(classes);
}

void Seeder::connect(const GeneratedTorrent& torrent, int port) {
    lt::torrent_handle h = m_session->find_torrent(torrent.infoHashes().get_best());
    if (h.is_valid())
        h.connect_peer(
            lt::tcp::endpoint(lt::make_address("127.0.0.1"), static_cast<unsigned short>(port)));
}

int Seeder::connectedPeers(const GeneratedTorrent& torrent) {
    lt::torrent_handle h = m_session->find_torrent(torrent.infoHashes().get_best());
    return h.is_valid() ? h.status().num_peers : 0;
}

} // namespace tevro::swarm
