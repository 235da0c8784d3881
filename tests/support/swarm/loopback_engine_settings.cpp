#include "tests/support/swarm/loopback_engine_settings.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tevro/core/storage.h"

namespace tevro::swarm {

int freeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

void writeLoopbackEngineSettings(const std::filesystem::path& dataFolder, int listenPort,
                                 const std::filesystem::path& downloads,
                                 const std::function<void(Json&)>& adjust) {
    Json s = {{"dht", false},
              {"lsd", false},
              {"upnp", false},
              {"autoTrackers", false},
              {"trackerMirrors", false},
              {"listenPort", listenPort},
              {"ipv6", false},
              {"downloadDirectory", downloads.string()}};
    if (adjust)
        adjust(s);
    Storage::save(s, dataFolder / Storage::kSettingsFile);
}

} // namespace tevro::swarm
