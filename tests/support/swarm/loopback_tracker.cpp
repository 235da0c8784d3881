#include "tests/support/swarm/loopback_tracker.h"

#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tevro::swarm {

LoopbackTracker::LoopbackTracker(std::vector<int> peerPorts) : m_peerPorts(std::move(peerPorts)) {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(m_listen, 16) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("loopback tracker did not start listening");
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { serve(); });
}

LoopbackTracker::~LoopbackTracker() {
    m_stop = true;
    m_thread.join();
    ::close(m_listen);
}

std::string LoopbackTracker::url() const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/announce";
}

void LoopbackTracker::serve() {
    // Compact peers: four address bytes and two port bytes each.
    std::string peers;
    for (int port : m_peerPorts) {
        peers += std::string("\x7f\x00\x00\x01", 4);
        peers += static_cast<char>((port >> 8) & 0xff);
        peers += static_cast<char>(port & 0xff);
    }
    std::string body =
        "d8:intervali1800e5:peers" + std::to_string(peers.size()) + ":" + peers + "e";
    std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        // The request ends with an empty line; its contents do not matter.
        std::string request;
        char buf[2048];
        while (request.find("\r\n\r\n") == std::string::npos) {
            pollfd r{fd, POLLIN, 0};
            if (::poll(&r, 1, 1000) <= 0)
                break;
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            request.append(buf, static_cast<std::size_t>(n));
        }
        if (request.starts_with("GET ")) {
            ++m_announces;
            (void)!::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
        ::close(fd);
    }
}

} // namespace tevro::swarm
