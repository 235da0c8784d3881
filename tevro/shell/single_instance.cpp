#include "tevro/shell/single_instance.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <utility>

#include <signal.h>

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace tevro {

namespace {

// A launch sends its URLs one per line, then "\n" alone; the running
// instance answers "ok\n" once it has queued them.
constexpr char kEnd[] = "\n";
// One round of a wait: short, so a holder that lets go is noticed at once.
constexpr int kSliceMs = 250;

qint64 nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool alive(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

QByteArray message(const std::vector<std::string>& urls) {
    QByteArray out;
    for (const auto& url : urls) {
        // A line break inside a link would split it; links never hold one legally.
        QByteArray line = QByteArray::fromStdString(url);
        line.replace('\n', "%0A");
        out += line + '\n';
    }
    return out + kEnd;
}

} // namespace

SingleInstance::SingleInstance(const std::filesystem::path& dataFolder, QObject* parent)
    : QObject(parent), m_name(serverName(dataFolder)), m_lock(dataFolder) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const std::filesystem::path& dataFolder) {
    std::error_code ec;
    auto folder = std::filesystem::weakly_canonical(dataFolder, ec);
    QByteArray hash = QCryptographicHash::hash(
        QByteArray::fromStdString((ec ? dataFolder : folder).string()), QCryptographicHash::Sha256);
    return QStringLiteral("tevro-") + QString::fromLatin1(hash.toHex().left(16));
}

SingleInstance::Role SingleInstance::claim(const std::vector<std::string>& urls,
                                           std::optional<pid_t> relaunchAfter) {
    m_waitStart = nowMs();
    m_saidWaiting = false;
    for (;;) {
        DataFolderLock::Attempt attempt = m_lock.tryLock();
        if (attempt == DataFolderLock::Attempt::taken)
            return Role::primary;
        if (attempt == DataFolderLock::Attempt::failed) {
            // A folder without a lock to be had (one this user may not
            // write): the socket is all there is to go by.
            std::fprintf(stderr, "tevro: the data folder cannot be locked: %s\n",
                         m_lock.error().message().c_str());
            return handOff(urls, 1500) ? Role::handedOff : Role::primary;
        }
        if (relaunchAfter) {
            if (alive(*relaunchAfter)) {
                sayWaiting("quit");
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                continue;
            }
            // The replaced process is gone and someone else runs: hand over.
            relaunchAfter.reset();
            continue;
        }
        QLocalSocket socket;
        socket.connectToServer(m_name);
        if (socket.waitForConnected(kSliceMs)) {
            if (deliver(socket, urls))
                return Role::handedOff;
        } else {
            // Starting, or quitting: the holder answers nobody just now.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        sayWaiting("answer");
    }
}

bool SingleInstance::deliver(QLocalSocket& socket, const std::vector<std::string>& urls) {
    socket.write(message(urls));
    QByteArray answer;
    for (;;) {
        if (socket.bytesToWrite() > 0) {
            socket.waitForBytesWritten(kSliceMs);
        } else if (socket.waitForReadyRead(kSliceMs)) {
            answer += socket.readAll();
            if (answer.contains('\n'))
                return answer.startsWith("ok");
            continue;
        }
        if (socket.state() != QLocalSocket::ConnectedState)
            return false;
        sayWaiting("answer");
        // A holder that lets go while this launch waits is quitting or gone.
        if (m_lock.tryLock() == DataFolderLock::Attempt::taken)
            return false;
    }
}

void SingleInstance::sayWaiting(const char* what) {
    if (m_saidWaiting || nowMs() - m_waitStart < kPatienceMs)
        return;
    m_saidWaiting = true;
    std::string who;
    if (auto pid = m_lock.holder())
        who = " (process " + std::to_string(*pid) + ")";
    std::fprintf(stderr, "tevro: waiting for the running Tevro%s to %s\n", who.c_str(), what);
}

bool SingleInstance::handOff(const std::vector<std::string>& urls, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(message(urls));
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
    m_closed = false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    // The lock's holder owns the name: a socket file left behind is a dead
    // holder's. Without the lock a live holder's socket is never removed.
    if (m_lock.isHeld())
        QLocalServer::removeServer(m_name);
    return m_server->listen(m_name);
}

void SingleInstance::close() {
    m_closed = true;
    if (m_server)
        m_server->close();
    // Unanswered, so that these launches wait for the lock and start anew.
    for (QLocalSocket* socket : std::exchange(m_clients, {}))
        socket->abort();
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (m_closed) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_clients.push_back(socket);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            std::erase(m_clients, socket);
            socket->deleteLater();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            *buffer += socket->readAll();
            int end = buffer->indexOf("\n\n");
            bool empty = buffer->startsWith('\n');
            if (m_closed || (end < 0 && !empty))
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
