#include "tests/support/offers_service.h"

#include <cstdlib>

#include <QBuffer>
#include <QImage>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>
#include <QtEndian>

#include "tests/support/loopback_https_server.h"

namespace tevro::test {

OffersService::OffersService() {
    m_server.setSslConfiguration(trustedLoopbackTls(m_dir.path()));
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QSslServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket* s = m_server.nextPendingConnection())
            serve(static_cast<QSslSocket*>(s));
    });
}

OffersService::~OffersService() {
    for (QSslSocket* socket : findChildren<QSslSocket*>())
        socket->abort();
}

QUrl OffersService::root() const {
    return QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(m_server.serverPort()));
}

QUrl OffersService::url(const std::string& path) const {
    return root().resolved(QUrl(QString::fromStdString(path)));
}

int OffersService::requests(const std::string& path) const {
    int count = 0;
    for (const Request& request : m_log)
        count += request.path == path ? 1 : 0;
    return count;
}

void OffersService::serve(QSslSocket* socket) {
    socket->setParent(this);
    ++m_open;
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QSslSocket::disconnected, this, [this, socket] {
        --m_open;
        socket->deleteLater();
    });
    connect(socket, &QSslSocket::readyRead, this, [this, socket, buffer] {
        buffer->append(socket->readAll());
        std::optional<RequestHead> head = takeRequestHead(*buffer);
        if (!head)
            return;
        Request request;
        const std::string& target = head->target;
        auto mark = target.find('?');
        request.path = target.substr(0, mark);
        request.query = mark == std::string::npos ? "" : target.substr(mark + 1);
        request.headers = std::move(head->headers);
        m_log.push_back(request);
        auto it = m_routes.find(request.path);
        Reply reply = it != m_routes.end() ? it->second
                      : m_handler          ? m_handler(request)
                                           : Reply{.status = 404, .body = "not found"};
        answer(socket, reply);
    });
}

void OffersService::answer(QSslSocket* socket, const Reply& reply) {
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Status\r\n";
    head += "Connection: close\r\n";
    for (const auto& [name, value] : reply.headers)
        head += name + ": " + value + "\r\n";
    if (!reply.noLength && reply.status != 304)
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    head += "\r\n";
    socket->write(head);
    QByteArray body = reply.sendBytes < 0 ? reply.body : reply.body.left(reply.sendBytes);
    const bool close = !reply.stall && reply.sendBytes < 0;
    if (reply.dribbleBytes <= 0) {
        socket->write(body);
        if (close)
            socket->disconnectFromHost();
        return;
    }
    // One piece at a time, for as long as the socket lives.
    auto rest = std::make_shared<QByteArray>(body);
    auto* timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket,
            [socket, timer, rest, close, step = reply.dribbleBytes] {
                socket->write(rest->left(step));
                rest->remove(0, std::min<qsizetype>(step, rest->size()));
                if (rest->isEmpty()) {
                    timer->stop();
                    if (close)
                        socket->disconnectFromHost();
                }
            });
    timer->start(reply.dribbleMs);
}

QByteArray OffersService::png(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray OffersService::pngDeclaring(int width, int height) {
    QByteArray bytes = png(1, 1);
    // IHDR follows the 8-byte signature: length, type, width, height, ..., CRC.
    qToBigEndian<quint32>(quint32(width), bytes.data() + 16);
    qToBigEndian<quint32>(quint32(height), bytes.data() + 20);
    quint32 crc = 0xffffffffu;
    for (int i = 12; i < 29; ++i) {
        crc ^= quint8(bytes[i]);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    qToBigEndian<quint32>(crc ^ 0xffffffffu, bytes.data() + 29);
    return bytes;
}

nlohmann::json OffersService::offer(const std::string& id, const std::string& title,
                                    const std::string& imageURL) {
    nlohmann::json content = {{"title", title},
                              {"body", "Описание предложения " + id},
                              {"ctaLabel", "Открыть"},
                              {"ctaUrl", "https://example.test/get/" + id}};
    if (!imageURL.empty())
        content["imageUrl"] = imageURL;
    return {{"id", id},
            {"targetAppId", "notaly"},
            {"frequency", {{"maxImpressionsPerDay", 5}, {"dismissForDays", 7}}},
            {"content", content}};
}

QByteArray OffersService::body(const std::vector<nlohmann::json>& offers) {
    nlohmann::json envelope = {{"offers", offers}};
    return QByteArray::fromStdString(envelope.dump());
}

} // namespace tevro::test
