#include "tests/torrent/loopback_tracker.h"

#include <QTcpSocket>

namespace tevro::test {

LoopbackTracker::LoopbackTracker() {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                QByteArray request = socket->readAll();
                if (!request.contains("\r\n\r\n"))
                    return;
                QByteArray target = request.split(' ').value(1);
                std::string path = target.split('?').value(0).toStdString();
                // Only the engine's announces count (the seeder announces too).
                if (request.contains("User-Agent: Tevro/"))
                    ++m_counts[path];
                QByteArray body = "d8:completei1e10:incompletei0e8:intervali1800e5:peers0:e";
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
                              body);
                socket->disconnectFromHost();
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

std::string LoopbackTracker::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + path;
}

int LoopbackTracker::announces(const std::string& path) const {
    auto it = m_counts.find(path);
    return it == m_counts.end() ? 0 : it->second;
}

} // namespace tevro::test
