#pragma once

// The TCP port a bridge session listens on at 127.0.0.1, read from its status
// report (waits up to ten seconds for the listen socket); 0 when there is none.

#include <chrono>
#include <string>

#include "tests/support/swarm/wait_until.h"
#include "tevro/bridge/bridge_string.h"
#include "tevro/bridge/torrent_bridge.h"
#include "tevro/core/status_snapshot.h"

namespace tevro::swarm {

inline int bridgeListenPort(tb_session* s) {
    int port = 0;
    waitUntil(
        [&] {
            auto status = StatusSnapshot::decode(BridgeString(tb_status_json(s)).view());
            if (!status)
                return false;
            for (const auto& text : status->session.listening)
                if (text.rfind("TCP 127.0.0.1:", 0) == 0)
                    port = std::stoi(text.substr(14));
            return port != 0;
        },
        std::chrono::seconds(10));
    return port;
}

} // namespace tevro::swarm
