#include "tevro/automation/control_server.h"

#include <charconv>

#include <poll.h>
#include <sys/socket.h>

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include "tevro/automation/control_routes.h"
#include "tevro/automation/http_request_head.h"

namespace tevro {

struct ControlServer::Connection {
    std::string buffer;
    bool routed = false; // the head arrived; what comes after is never read
    // Children of the socket, so they go with it.
    QTimer* readTimer = nullptr;
    QTimer* lifeTimer = nullptr;
};

ControlServer::ControlServer(ControlRoutes& routes, QObject* parent)
    : ControlServer(routes, Options{}, parent) {}

ControlServer::ControlServer(ControlRoutes& routes, Options options, QObject* parent)
    : QObject(parent), m_routes(routes), m_options(options) {
    connect(&m_server, &QTcpServer::newConnection, this, &ControlServer::accept);
}

ControlServer::~ControlServer() {
    stop();
}

std::optional<std::uint16_t> ControlServer::portFromEnvironment(std::string_view text) {
    if (text.starts_with('+'))
        text.remove_prefix(1);
    else if (text.starts_with('-')) {
        text.remove_prefix(1);
        if (text.empty() || text.find_first_not_of('0') != std::string_view::npos)
            return std::nullopt;
    }
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    unsigned value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

bool ControlServer::start(std::uint16_t port) {
    stop();
    // QTcpServer sets SO_REUSEADDR itself on Unix.
    return m_server.listen(QHostAddress::LocalHost, port);
}

bool ControlServer::startFromEnvironment() {
    QByteArray text = qgetenv("TEVRO_CONTROL_PORT");
    auto port = portFromEnvironment(std::string_view(text.constData(), text.size()));
    return port && start(*port);
}

void ControlServer::stop() {
    m_server.close();
    while (!m_connections.empty())
        drop(m_connections.begin()->first);
}

void ControlServer::dropClosedPeers() {
    // Clients that closed just before this one may not have been seen yet:
    // the listener can be served before their sockets. Their end would close
    // them a moment later; it does so now.
    std::vector<QTcpSocket*> gone;
    for (const auto& [socket, connection] : m_connections) {
        pollfd poll = {static_cast<int>(socket->socketDescriptor()), POLLRDHUP, 0};
        if (poll.fd != -1 && ::poll(&poll, 1, 0) > 0 &&
            (poll.revents & (POLLRDHUP | POLLHUP | POLLERR)))
            gone.push_back(socket);
    }
    for (QTcpSocket* socket : gone)
        drop(socket);
}

void ControlServer::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (static_cast<int>(m_connections.size()) >= kMaxConnections)
            dropClosedPeers();
        if (static_cast<int>(m_connections.size()) >= kMaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto connection = std::make_unique<Connection>();
        connection->readTimer = new QTimer(socket);
        connection->lifeTimer = new QTimer(socket);
        connection->readTimer->setSingleShot(true);
        connection->lifeTimer->setSingleShot(true);
        connect(connection->readTimer, &QTimer::timeout, this, [this, socket] {
            auto it = m_connections.find(socket);
            if (it != m_connections.end() && !it->second->routed) {
                it->second->routed = true;
                respond(socket, ControlRoutes::kTimeout, ControlRoutes::errorBody("bad request"));
            }
        });
        connect(connection->lifeTimer, &QTimer::timeout, this, [this, socket] { drop(socket); });
        connection->readTimer->start(m_options.readTimeout);
        connection->lifeTimer->start(m_options.connectionTimeout);
        m_connections.emplace(socket, std::move(connection));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        readFrom(socket);
    }
}

bool ControlServer::allowedHost(const std::string& host) const {
    std::string port = std::to_string(m_server.serverPort());
    std::string lower;
    for (char c : host)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return lower == "127.0.0.1:" + port || lower == "localhost:" + port;
}

bool ControlServer::allowedCaller(const HttpRequestHead& head) const {
    // The routes are GET and their clients are scripts. A web page can make
    // the browser send a GET here too (an image, a form, a fetch), and the
    // browser then names the page: by Origin, Referer or a Sec-Fetch-Site
    // other than "none" (which only an address typed by the user gets).
    if (head.method != "GET" || head.hasOrigin || head.hasReferer)
        return false;
    if (head.fetchSite && *head.fetchSite != "none")
        return false;
    return head.host && allowedHost(*head.host);
}

void ControlServer::readFrom(QTcpSocket* socket) {
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    Connection& c = *it->second;
    if (c.routed) {
        socket->readAll(); // a body or a second request: never executed
        return;
    }
    QByteArray bytes = socket->read(static_cast<qint64>(
        HttpRequestHead::kMaxSize - std::min(c.buffer.size(), HttpRequestHead::kMaxSize)));
    c.buffer.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    HttpRequestHead head;
    auto result = HttpRequestHead::parse(c.buffer, head);
    if (result == HttpRequestHead::Result::incomplete)
        return;
    c.routed = true;
    c.readTimer->stop();
    c.buffer.clear();
    socket->readAll();
    // The refusals keep the bodies callers read; the status says it too.
    if (result != HttpRequestHead::Result::complete)
        return respond(socket,
                       result == HttpRequestHead::Result::tooLarge ? ControlRoutes::kTooLarge
                                                                   : ControlRoutes::kBadRequest,
                       ControlRoutes::errorBody("bad request"));
    if (!allowedCaller(head))
        return respond(socket, ControlRoutes::kForbidden, ControlRoutes::errorBody("forbidden"));
    QPointer<QTcpSocket> guard(socket);
    m_routes.route(head.target, [this, guard](int status, std::string body) {
        // The connection may have timed out while the route waited.
        if (guard && m_connections.contains(guard.data()))
            respond(guard.data(), status, body);
    });
}

namespace {

// "HTTP/1.1 404 Not Found" and the like.
QByteArray statusLine(int status) {
    const char* reason = [status] {
        switch (status) {
        case ControlRoutes::kOk:
            return "OK";
        case ControlRoutes::kBadRequest:
            return "Bad Request";
        case ControlRoutes::kForbidden:
            return "Forbidden";
        case ControlRoutes::kNotFound:
            return "Not Found";
        case ControlRoutes::kTimeout:
            return "Request Timeout";
        case ControlRoutes::kTooLarge:
            return "Content Too Large";
        case ControlRoutes::kUnprocessable:
            return "Unprocessable Content";
        }
        return "Error";
    }();
    return "HTTP/1.1 " + QByteArray::number(status) + " " + reason;
}

} // namespace

void ControlServer::respond(QTcpSocket* socket, int status, const std::string& body) {
    QByteArray reply = statusLine(status) +
                       "\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: " +
                       QByteArray::number(static_cast<qulonglong>(body.size())) +
                       "\r\nConnection: close\r\n\r\n";
    // The state document runs to megabytes: one allocation for head and body.
    reply.reserve(reply.size() + static_cast<qsizetype>(body.size()));
    reply.append(body.data(), static_cast<qsizetype>(body.size()));
    socket->write(reply);
    // Only the sending side is closed once the reply is out; whatever the
    // client still sends is read and dropped until it closes, so the kernel
    // never answers unread bytes with a reset that would destroy the reply.
    auto halfClose = [socket] {
        if (socket->bytesToWrite() == 0 && socket->socketDescriptor() != -1)
            ::shutdown(static_cast<int>(socket->socketDescriptor()), SHUT_WR);
    };
    connect(socket, &QTcpSocket::bytesWritten, this, halfClose);
    socket->flush();
    halfClose();
}

void ControlServer::drop(QTcpSocket* socket) {
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    auto connection = std::move(it->second);
    m_connections.erase(it);
    connection->readTimer->stop();
    connection->lifeTimer->stop();
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

} // namespace tevro
