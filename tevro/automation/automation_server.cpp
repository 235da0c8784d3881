#include "tevro/automation/automation_server.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QHostAddress>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>

#include "tevro/automation/automation_request.h"

namespace tevro {

namespace {

// Hands each accepted socket over as a bare descriptor: the connections
// need a half-close and a drain that QTcpSocket does not offer.
class Listener : public QTcpServer {
public:
    explicit Listener(std::function<void(int)> accepted) : m_accepted(std::move(accepted)) {}

protected:
    void incomingConnection(qintptr fd) override { m_accepted(static_cast<int>(fd)); }

private:
    std::function<void(int)> m_accepted;
};

} // namespace

struct AutomationServer::Connection {
    enum class Stage {
        reading,  // the request line is arriving
        calling,  // the tool runs
        sending,  // the reply is going out
        draining, // the reply is out and our side closed; reading until the client closes
    };

    int fd = -1;
    Stage stage = Stage::reading;
    bool peerClosed = false;
    std::string buffer;
    std::vector<std::string> out; // the reply's pieces
    std::size_t piece = 0;
    std::size_t sent = 0; // of out[piece]
    // Deleted later: a notifier may be the sender of the signal being handled.
    QObject* owner = nullptr;
    QSocketNotifier* reader = nullptr;
    QSocketNotifier* writer = nullptr;
};

AutomationServer::AutomationServer(std::filesystem::path folder, Call call, QObject* parent)
    : AutomationServer(std::move(folder), std::move(call), Options{}, parent) {}

AutomationServer::AutomationServer(std::filesystem::path folder, Call call, Options options,
                                   QObject* parent)
    : QObject(parent), m_endpoint(std::move(folder)), m_call(std::move(call)), m_options(options) {}

AutomationServer::~AutomationServer() {
    stop();
}

std::uint16_t AutomationServer::port() const {
    return m_listener ? m_listener->serverPort() : 0;
}

void AutomationServer::start() {
    if (m_listener)
        return;
    if (qgetenv("TEVRO_MCP_DISABLED") == "1")
        return;
    auto lock = m_endpoint.acquire();
    if (!lock)
        return fail(lock.error());
    if (*lock == AutomationEndpoint::Lock::elsewhere)
        return;
    auto token = AutomationEndpoint::makeToken();
    if (!token)
        return fail(token.error());
    m_token = *token;
    auto* listener = new Listener([this](int fd) { accept(fd); });
    listener->setParent(this);
    if (!listener->listen(QHostAddress(QStringLiteral("127.0.0.1")), 0)) {
        std::string error = listener->errorString().toStdString();
        delete listener;
        return fail(error);
    }
    m_listener = listener;
    if (auto published = m_endpoint.publish(port(), m_token, ::getpid()); !published)
        return fail(published.error());
}

void AutomationServer::fail(const std::string& message) {
    std::fprintf(stderr, "Tevro automation unavailable: %s\n", message.c_str());
    stop();
}

void AutomationServer::stop() {
    if (m_listener) {
        m_listener->close();
        m_listener->deleteLater();
        m_listener = nullptr;
    }
    while (!m_connections.empty())
        close(m_connections.begin()->first);
    m_endpoint.release();
    m_token.clear();
}

void AutomationServer::accept(int fd) {
    if (m_listener && m_connections.size() >= kMaxConnections)
        dropClosedPeers();
    if (!m_listener || m_connections.size() >= kMaxConnections) {
        ::close(fd);
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    QUuid id = QUuid::createUuid();
    auto c = std::make_unique<Connection>();
    c->fd = fd;
    c->owner = new QObject(this);
    c->reader = new QSocketNotifier(fd, QSocketNotifier::Read, c->owner);
    c->writer = new QSocketNotifier(fd, QSocketNotifier::Write, c->owner);
    c->writer->setEnabled(false);
    connect(c->reader, &QSocketNotifier::activated, this, [this, id] { readFrom(id); });
    connect(c->writer, &QSocketNotifier::activated, this, [this, id] { sendFrom(id); });
    // The limit holds whatever the connection is doing, a running tool included.
    QTimer::singleShot(m_options.connectionTimeout, c->owner, [this, id] { close(id); });
    m_connections.emplace(id, std::move(c));
    readFrom(id);
}

void AutomationServer::dropClosedPeers() {
    // Clients that closed just before this one may not have been read yet:
    // the listener can be served before their sockets. Read what they left
    // now, so that their end closes them, as it would have a moment later.
    std::vector<QUuid> ids;
    for (const auto& [id, c] : m_connections)
        ids.push_back(id);
    for (const QUuid& id : ids) {
        // Bounded: the reads only empty what the kernel holds already.
        for (int round = 0; round < 64; ++round) {
            auto it = m_connections.find(id);
            if (it == m_connections.end() || it->second->peerClosed)
                break;
            pollfd poll = {it->second->fd, POLLIN, 0};
            if (::poll(&poll, 1, 0) <= 0)
                break;
            readFrom(id);
        }
    }
}

void AutomationServer::readFrom(const QUuid& id) {
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    Connection& c = *it->second;
    char chunk[kReadSize];
    ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (n <= 0) {
        c.peerClosed = true;
        c.reader->setEnabled(false);
        // A reply still to come goes out to a half-closed client; one that
        // never sent its line feed gets none.
        if (n < 0 || c.stage == Connection::Stage::reading ||
            c.stage == Connection::Stage::draining)
            close(id);
        return;
    }
    if (c.stage != Connection::Stage::reading)
        return; // after the request line nothing is read as a request
    c.buffer.append(chunk, static_cast<std::size_t>(n));
    AutomationRequest request = AutomationRequest::read(c.buffer, m_token);
    switch (request.outcome) {
    case AutomationRequest::Outcome::incomplete:
        return;
    case AutomationRequest::Outcome::call: {
        c.stage = Connection::Stage::calling;
        c.buffer = {};
        QPointer<AutomationServer> self(this);
        m_call(request.name, request.arguments, [self, id](Result result) {
            if (!self)
                return;
            self->respond(id, std::move(result));
        });
        return;
    }
    default:
        c.buffer = {};
        respond(id, std::unexpected(std::string(AutomationRequest::message(request.outcome))));
    }
}

std::string AutomationServer::encodeReply(const Json& reply) {
    std::string text;
    try {
        text = reply.dump();
    } catch (const Json::exception&) {
        text = kEncodingFailed;
    }
    if (text.size() > kMaxReply)
        text = kReplyTooLarge;
    text.push_back('\n');
    return text;
}

std::vector<std::string> AutomationServer::replyPieces(Result result) {
    std::vector<std::string> pieces;
    if (!result) {
        pieces.push_back(encodeReply(Json{{"ok", false}, {"error", result.error()}}));
    } else if (!result->isEncoded()) {
        pieces.push_back(encodeReply(Json{{"ok", true}, {"result", result->takeValue()}}));
    } else {
        // As encodeReply() writes {"ok":true,"result":...}: "ok" sorts first.
        std::string head = R"({"ok":true,"result":)";
        if (head.size() + result->text().size() + 1 > kMaxReply) {
            pieces.push_back(std::string(kReplyTooLarge) + '\n');
        } else {
            pieces.push_back(std::move(head));
            pieces.push_back(result->takeText());
            pieces.push_back("}\n");
        }
    }
    return pieces;
}

void AutomationServer::respond(const QUuid& id, Result result) {
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return; // timed out or closed meanwhile
    Connection& c = *it->second;
    if (c.stage == Connection::Stage::sending || c.stage == Connection::Stage::draining)
        return;
    c.stage = Connection::Stage::sending;
    c.out = replyPieces(std::move(result));
    sendFrom(id);
}

void AutomationServer::sendFrom(const QUuid& id) {
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    Connection& c = *it->second;
    while (c.piece < c.out.size()) {
        const std::string& piece = c.out[c.piece];
        if (c.sent == piece.size()) {
            ++c.piece;
            c.sent = 0;
            continue;
        }
        int more = c.piece + 1 < c.out.size() ? MSG_MORE : 0;
        ssize_t n = ::send(c.fd, piece.data() + c.sent, piece.size() - c.sent, MSG_NOSIGNAL | more);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            c.writer->setEnabled(true);
            return;
        }
        if (n <= 0)
            return close(id);
        c.sent += static_cast<std::size_t>(n);
    }
    c.writer->setEnabled(false);
    c.out = {};
    // Only our side closes now. Whatever the client still sends (the rest
    // of an oversized request) is read and dropped until it closes, so the
    // kernel never answers unread bytes with a reset that would destroy the reply.
    ::shutdown(c.fd, SHUT_WR);
    c.stage = Connection::Stage::draining;
    if (c.peerClosed)
        close(id);
}

void AutomationServer::close(const QUuid& id) {
    auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    std::unique_ptr<Connection> c = std::move(it->second);
    m_connections.erase(it);
    c->reader->setEnabled(false);
    c->writer->setEnabled(false);
    c->owner->deleteLater();
    ::close(c->fd);
}

} // namespace tevro
