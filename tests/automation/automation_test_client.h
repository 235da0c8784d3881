#pragma once

// A loopback client of the automation server for tests: sends bytes, then
// reads until the server closes, spinning the event loop meanwhile.

#include <string>
#include <vector>

#include <QHostAddress>
#include <QTcpSocket>

#include "tests/support/qt_app.h"

namespace tevro::test {

struct AutomationReply {
    bool closed = false;
    std::string bytes;
};

inline AutomationReply readToEnd(QTcpSocket& socket,
                                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    AutomationReply reply;
    waitUntil(
        [&] {
            reply.bytes += socket.readAll().toStdString();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        timeout);
    reply.bytes += socket.readAll().toStdString();
    reply.closed = socket.state() == QAbstractSocket::UnconnectedState;
    return reply;
}

inline AutomationReply exchange(std::uint16_t port, const std::vector<std::string>& pieces) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return {};
    for (const std::string& piece : pieces) {
        socket.write(piece.data(), static_cast<qint64>(piece.size()));
        waitUntil([&] { return socket.bytesToWrite() == 0; });
        spinFor(std::chrono::milliseconds(20));
    }
    return readToEnd(socket);
}

} // namespace tevro::test
