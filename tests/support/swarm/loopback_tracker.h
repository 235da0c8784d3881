#pragma once

// An HTTP tracker on 127.0.0.1 that answers every announce with the same
// peers: a downloader learns its seeders the way it would in a real swarm and
// dials them itself as soon as its first announce is answered, instead of
// waiting for each seeder's once-a-second round of outgoing connections.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tevro::swarm {

class LoopbackTracker {
public:
    explicit LoopbackTracker(std::vector<int> peerPorts);
    ~LoopbackTracker();
    LoopbackTracker(const LoopbackTracker&) = delete;
    LoopbackTracker& operator=(const LoopbackTracker&) = delete;

    // "http://127.0.0.1:<port>/announce", for a torrent's tracker list.
    std::string url() const;
    // Announces answered so far.
    int announces() const { return m_announces; }

private:
    void serve();

    std::vector<int> m_peerPorts;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_announces{0};
    std::thread m_thread;
};

} // namespace tevro::swarm
