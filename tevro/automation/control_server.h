#pragma once

// The control server: HTTP/1.1 on 127.0.0.1 for test harnesses and
// developers, started only when TEVRO_CONTROL_PORT names a port. Each
// connection sends one request and gets one JSON reply, then closes.
// Nothing runs before the whole request head has arrived; heads that are
// malformed (400), too long (413) or too slow (408) are answered
// {"error":"bad request"}. Requests from a foreign Host, from a web page
// (Origin, Referer, a Sec-Fetch-Site other than "none") or with a method
// other than GET are refused without running (403). Every refusal answers
// a 4xx status.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <QObject>
#include <QPointer>
#include <QTcpServer>

class QTcpSocket;
class QTimer;

namespace tevro {

class ControlRoutes;
struct HttpRequestHead;

class ControlServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 16;

    struct Options {
        // Time for the request head to arrive.
        std::chrono::milliseconds readTimeout{5000};
        // Time a connection may stay open, a running route included.
        std::chrono::milliseconds connectionTimeout{15000};
    };

    explicit ControlServer(ControlRoutes& routes, QObject* parent = nullptr);
    ControlServer(ControlRoutes& routes, Options options, QObject* parent = nullptr);
    ~ControlServer() override;

    // Listens on 127.0.0.1:port (0 picks a free one); false when it cannot.
    bool start(std::uint16_t port);
    // Starts on the port TEVRO_CONTROL_PORT names; without a valid one, nothing
    // starts and nothing is said.
    bool startFromEnvironment();
    void stop();
    bool isListening() const { return m_server.isListening(); }
    std::uint16_t port() const { return m_server.serverPort(); }
    int openConnections() const { return static_cast<int>(m_connections.size()); }

    // The port named by TEVRO_CONTROL_PORT's text: decimal 0...65535, an
    // optional leading "+", a "-" only before zero; nothing otherwise.
    static std::optional<std::uint16_t> portFromEnvironment(std::string_view text);

private:
    struct Connection;

    void accept();
    // Closes the connections whose clients have gone, before a newcomer is
    // refused for want of room.
    void dropClosedPeers();
    void readFrom(QTcpSocket* socket);
    void respond(QTcpSocket* socket, int status, const std::string& body);
    void drop(QTcpSocket* socket);
    bool allowedHost(const std::string& host) const;
    bool allowedCaller(const HttpRequestHead& head) const;

    ControlRoutes& m_routes;
    Options m_options;
    QTcpServer m_server;
    std::map<QTcpSocket*, std::unique_ptr<Connection>> m_connections;
};

} // namespace tevro
