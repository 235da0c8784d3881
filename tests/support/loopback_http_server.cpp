#include "tests/support/loopback_http_server.h"

#include <QTcpSocket>
#include <QTimer>

namespace tevro::test {

LoopbackHttpServer::LoopbackHttpServer() {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = m_server.nextPendingConnection())
            serve(s);
    });
}

std::string LoopbackHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port()) + path;
}

int LoopbackHttpServer::requests(const std::string& path) const {
    auto it = m_counts.find(path);
    return it == m_counts.end() ? 0 : it->second;
}

void LoopbackHttpServer::serve(QTcpSocket* socket) {
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
        buffer->append(socket->readAll());
        if (!buffer->contains("\r\n\r\n"))
            return;
        QList<QByteArray> first = buffer->left(buffer->indexOf("\r\n")).split(' ');
        std::string path = first.size() >= 2 ? first[1].toStdString() : "/";
        ++m_counts[path];
        auto it = m_routes.find(path);
        Route r = it == m_routes.end() ? Route{404, "not found", false} : it->second;
        if (r.endless) {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n");
            auto* pump = new QTimer(socket);
            QByteArray chunk(64 * 1024, 'x');
            for (int i = 0; i < chunk.size(); i += 40)
                chunk.replace(i, 34, "udp://endless.invalid:1/announce\n");
            connect(pump, &QTimer::timeout, socket, [socket, chunk] {
                if (socket->bytesToWrite() < 1 << 20)
                    socket->write(chunk);
            });
            pump->start(1);
            return;
        }
        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) +
                          (r.status == 200 ? " OK" : " Error") +
                          "\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
                          QByteArray::number(r.body.size()) + "\r\n\r\n";
        socket->write(head + r.body);
        socket->disconnectFromHost();
    });
}

} // namespace tevro::test
