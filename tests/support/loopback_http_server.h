#pragma once

// A small HTTP/1.1 server on 127.0.0.1 standing in for remote services in
// tests. Each path answers with a fixed status and body, or streams without end.

#include <map>
#include <string>

#include <QByteArray>
#include <QTcpServer>

namespace tevro::test {

class LoopbackHttpServer : public QObject {
    Q_OBJECT
public:
    struct Route {
        int status = 200;
        QByteArray body;
        bool endless = false; // keeps sending data until the client goes away
    };

    LoopbackHttpServer();
    quint16 port() const { return m_server.serverPort(); }
    std::string url(const std::string& path) const;
    void route(const std::string& path, Route r) { m_routes[path] = std::move(r); }
    int requests(const std::string& path) const;

private:
    void serve(QTcpSocket* socket);

    QTcpServer m_server;
    std::map<std::string, Route> m_routes;
    std::map<std::string, int> m_counts;
};

} // namespace tevro::test
