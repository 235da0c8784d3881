#include "tests/kit_statistics/statistics_service.h"

#include <memory>

#include <QTcpSocket>
#include <QTimer>

#include <zlib.h>

namespace quorvel::test {

StatisticsService::StatisticsService() {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = m_server.nextPendingConnection())
            serve(s);
    });
}

std::string StatisticsService::url() const {
    return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + "/";
}

void StatisticsService::script(const std::string& path, std::vector<Reply> replies) {
    m_scripts[path] = std::deque<Reply>(replies.begin(), replies.end());
}

std::vector<StatisticsService::Request> StatisticsService::requests(const std::string& path) const {
    std::vector<Request> out;
    for (const Request& r : m_requests)
        if (r.path == path)
            out.push_back(r);
    return out;
}

std::string StatisticsService::gunzip(const std::string& bytes) {
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK)
        return {};
    std::string out;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    char chunk[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - z.avail_out);
    }
    inflateEnd(&z);
    return rc == Z_STREAM_END ? out : std::string("<bad gzip>");
}

void StatisticsService::serve(QTcpSocket* socket) {
    auto buffer = std::make_shared<QByteArray>();
    auto handled = std::make_shared<bool>(false);
    connect(socket, &QTcpSocket::disconnected, socket, [this, socket, handled] {
        if (*handled && socket->property("open").toBool())
            --m_open;
        socket->deleteLater();
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer, handled] {
        buffer->append(socket->readAll());
        qsizetype end = buffer->indexOf("\r\n\r\n");
        if (*handled || end < 0)
            return;
        Request request;
        QList<QByteArray> lines = buffer->left(end).split('\n');
        QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.path = first.value(1).toStdString();
        qsizetype length = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            qsizetype colon = lines[i].indexOf(':');
            if (colon < 0)
                continue;
            std::string name = lines[i].left(colon).trimmed().toLower().toStdString();
            std::string value = lines[i].mid(colon + 1).trimmed().toStdString();
            request.headers[name] = value;
            if (name == "content-length")
                length = std::stoll(value);
        }
        if (buffer->size() < end + 4 + length)
            return;
        *handled = true;
        request.rawBody = buffer->mid(end + 4, length).toStdString();
        auto encoding = request.headers.find("content-encoding");
        bool gzip = encoding != request.headers.end() && encoding->second == "gzip";
        request.body = gzip ? gunzip(request.rawBody) : request.rawBody;
        Reply reply = m_fallback;
        auto& script = m_scripts[request.path];
        if (!script.empty()) {
            reply = script.front();
            script.pop_front();
        }
        m_requests.push_back(request);
        if (reply.mode == Mode::drop) {
            socket->abort();
            return;
        }
        if (reply.mode == Mode::stall) {
            socket->setProperty("open", true);
            m_mostOpen = std::max(m_mostOpen, ++m_open);
            return;
        }
        socket->setProperty("open", true);
        m_mostOpen = std::max(m_mostOpen, ++m_open);
        size_t index = m_requests.size() - 1;
        auto answer = [this, socket, reply, request, index] {
            if (!socket->property("open").toBool())
                return; // the client went away first
            socket->setProperty("open", false);
            --m_open;
            m_requests[index].status = reply.status;
            if ((reply.status == 200 || reply.status == 202) && request.path == "/v1/events") {
                nlohmann::json body = request.json();
                if (body.is_object() && body["events"].is_array())
                    for (const auto& e : body["events"])
                        m_accepted.push_back(e.value("event_id", ""));
            }
            QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Status\r\n";
            head += "Connection: close\r\nContent-Length: 2\r\nSet-Cookie: session=abc; Path=/\r\n";
            for (const auto& [name, value] : reply.headers)
                head += QByteArray::fromStdString(name + ": " + value + "\r\n");
            socket->write(head + "\r\n{}");
            socket->disconnectFromHost();
        };
        if (reply.delayMs > 0)
            QTimer::singleShot(reply.delayMs, socket, answer);
        else
            answer();
    });
}

} // namespace quorvel::test
