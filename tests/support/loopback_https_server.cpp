#include "tests/support/loopback_https_server.h"

#include <cstdlib>

#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>

namespace tevro::test {

QSslConfiguration trustedLoopbackTls(const std::filesystem::path& folder) {
    const TestTls tls = makeTestTls();
    const auto caFile = folder / "ca.pem";
    writeAll(caFile, tls.caPem.toStdString());
    ::setenv("SSL_CERT_FILE", caFile.c_str(), 1);

    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(QSslCertificate(tls.serverCertificatePem, QSsl::Pem));
    configuration.setPrivateKey(QSslKey(tls.serverKeyPem, QSsl::Ec, QSsl::Pem));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

std::optional<RequestHead> takeRequestHead(QByteArray& buffer) {
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return std::nullopt;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    buffer.remove(0, end + 4);
    RequestHead head;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    head.target = first.size() >= 2 ? first[1].toStdString() : "/";
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            head.headers[lines[i].left(colon).trimmed().toLower().toStdString()] =
                lines[i].mid(colon + 1).trimmed().toStdString();
    }
    return head;
}

LoopbackHttpsServer::LoopbackHttpsServer() {
    m_server.setSslConfiguration(trustedLoopbackTls(m_dir.path()));
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QSslServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket* s = m_server.nextPendingConnection())
            serve(static_cast<QSslSocket*>(s));
    });
}

std::string LoopbackHttpsServer::url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port()) + path;
}

int LoopbackHttpsServer::requests(const std::string& path) const {
    int count = 0;
    for (const Request& request : m_log)
        count += request.path == path ? 1 : 0;
    return count;
}

void LoopbackHttpsServer::serve(QSslSocket* socket) {
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QSslSocket::readyRead, this, [this, socket, buffer] {
        buffer->append(socket->readAll());
        std::optional<RequestHead> taken = takeRequestHead(*buffer);
        if (!taken)
            return;
        Request request{taken->target, std::move(taken->headers)};
        m_log.push_back(request);
        auto it = m_routes.find(request.path);
        const Route r =
            it == m_routes.end() ? Route{.status = 404, .body = "not found"} : it->second;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + " Status\r\n";
        head += "Connection: close\r\n";
        for (const auto& [name, value] : r.headers)
            head += name + ": " + value + "\r\n";
        if (!r.noLength)
            head +=
                "Content-Length: " + QByteArray::number(r.declaredLength.value_or(r.body.size())) +
                "\r\n";
        head += "\r\n";
        socket->write(head);
        socket->write(r.body);
        if (!r.stall)
            socket->disconnectFromHost();
    });
}

} // namespace tevro::test
