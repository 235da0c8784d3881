#pragma once

// An HTTPS/1.1 server on 127.0.0.1 with a certificate authority of its own,
// standing in for remote services in tests. The authority's certificate is
// written to a file and named by SSL_CERT_FILE, as a deployed program's
// environment would name its certificate file.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QSslConfiguration>
#include <QSslServer>

#include "tests/support/temp_dir.h"
#include "tests/support/test_pki.h"

namespace tevro::test {

// Fresh test keys: their authority is written into `folder` and trusted by
// this process through SSL_CERT_FILE; the result is the server side's TLS.
QSslConfiguration trustedLoopbackTls(const std::filesystem::path& folder);

// One request head taken off the front of `buffer` once it is whole: the
// request target (path and query) and the headers, names in lower case.
struct RequestHead {
    std::string target;
    std::map<std::string, std::string> headers;
};
std::optional<RequestHead> takeRequestHead(QByteArray& buffer);

class LoopbackHttpsServer : public QObject {
    Q_OBJECT
public:
    struct Route {
        int status = 200;
        QByteArray body{};
        std::vector<std::pair<QByteArray, QByteArray>> headers{}; // e.g. Location, Set-Cookie
        bool noLength = false;                  // body ends when the connection closes
        std::optional<qint64> declaredLength{}; // a Content-Length that differs from the body
        bool stall = false;                     // keeps the connection open after the body
    };

    struct Request {
        std::string path;                           // with its query
        std::map<std::string, std::string> headers; // names in lower case
    };

    LoopbackHttpsServer();
    quint16 port() const { return m_server.serverPort(); }
    std::string url(const std::string& path) const;
    void route(const std::string& path, Route r) { m_routes[path] = std::move(r); }
    int requests(const std::string& path) const;
    const std::vector<Request>& log() const { return m_log; }

private:
    void serve(QSslSocket* socket);

    TempDir m_dir;
    QSslServer m_server;
    std::map<std::string, Route> m_routes;
    std::vector<Request> m_log;
};

} // namespace tevro::test
