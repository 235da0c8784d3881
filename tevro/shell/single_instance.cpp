#include "tevro/shell/single_instance.h"

#include <memory>

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace tevro {

namespace {

// A launch sends its URLs one per line, then "\n" alone; the running
// instance answers "ok\n" once it has queued them.
constexpr char kEnd[] = "\n";

} // namespace

SingleInstance::SingleInstance(const std::filesystem::path& dataFolder, QObject* parent)
    : QObject(parent), m_name(serverName(dataFolder)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const std::filesystem::path& dataFolder) {
    std::error_code ec;
    auto folder = std::filesystem::weakly_canonical(dataFolder, ec);
    QByteArray hash = QCryptographicHash::hash(
        QByteArray::fromStdString((ec ? dataFolder : folder).string()), QCryptographicHash::Sha256);
    return QStringLiteral("tevro-") + QString::fromLatin1(hash.toHex().left(16));
}

bool SingleInstance::handOff(const std::vector<std::string>& urls, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message;
    for (const auto& url : urls) {
        // A line break inside a link would split it; links never hold one legally.
        QByteArray line = QByteArray::fromStdString(url);
        line.replace('\n', "%0A");
        message += line + '\n';
    }
    message += kEnd;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
        answer += socket.readAll();
    }
    return answer.startsWith("ok");
}

bool SingleInstance::listen() {
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    if (m_server->listen(m_name))
        return true;
    // A socket file left by a process that died.
    QLocalServer::removeServer(m_name);
    return m_server->listen(m_name);
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            *buffer += socket->readAll();
            int end = buffer->indexOf("\n\n");
            bool empty = buffer->startsWith('\n');
            if (end < 0 && !empty)
                return;
            std::vector<std::string> urls;
            if (!empty)
                for (const QByteArray& line : buffer->left(end).split('\n'))
                    urls.push_back(line.toStdString());
            buffer->clear();
            socket->write("ok\n");
            socket->flush();
            emit received(urls);
        });
    }
}

} // namespace tevro
