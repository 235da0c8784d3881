#pragma once

// A scripted offers service over HTTPS on 127.0.0.1 that also serves the
// offers' pictures. Each request is answered by a handler (or by a fixed
// reply per path); a reply may stall, dribble its body or lie about its
// length, as a broken or hostile service would. The service's certificate
// authority is named by SSL_CERT_FILE, as for the other HTTPS servers.

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QColor>
#include <QSslServer>
#include <QUrl>

#include <nlohmann/json.hpp>

#include "tests/support/temp_dir.h"

class QSslSocket;

namespace tevro::test {

class OffersService : public QObject {
    Q_OBJECT
public:
    struct Reply {
        int status = 200;
        QByteArray body{};
        std::vector<std::pair<QByteArray, QByteArray>> headers{};
        // Bytes of the body sent before the connection goes quiet (all when negative).
        qint64 sendBytes = -1;
        // After the body (or its first `sendBytes`), the connection stays open.
        bool stall = false;
        // The body goes out this many bytes at a time, `dribbleMs` apart.
        int dribbleBytes = 0;
        int dribbleMs = 0;
        bool noLength = false;
    };

    struct Request {
        std::string path;                           // without the query
        std::string query;                          // after '?'
        std::map<std::string, std::string> headers; // names in lower case
    };

    OffersService();
    ~OffersService() override;

    // "https://127.0.0.1:PORT/", the root the offers engine is given.
    QUrl root() const;
    QUrl url(const std::string& path) const;

    // Answers every path that has no fixed reply.
    void handle(std::function<Reply(const Request&)> handler) { m_handler = std::move(handler); }
    void route(const std::string& path, Reply reply) { m_routes[path] = std::move(reply); }
    int requests(const std::string& path) const;
    const std::vector<Request>& log() const { return m_log; }
    // Connections still open (a stalled reply keeps one).
    int openConnections() const { return m_open; }

    // A PNG of that size in one colour.
    static QByteArray png(int width, int height, QColor colour = Qt::red);
    // A small, valid PNG whose header declares these dimensions.
    static QByteArray pngDeclaring(int width, int height);

    // One valid offer item of the wire format.
    static nlohmann::json offer(const std::string& id, const std::string& title,
                                const std::string& imageURL = {});
    // The reply body for these items.
    static QByteArray body(const std::vector<nlohmann::json>& offers);

private:
    void serve(QSslSocket* socket);
    void answer(QSslSocket* socket, const Reply& reply);

    TempDir m_dir;
    QSslServer m_server;
    std::map<std::string, Reply> m_routes;
    std::function<Reply(const Request&)> m_handler;
    std::vector<Request> m_log;
    int m_open = 0;
};

} // namespace tevro::test
