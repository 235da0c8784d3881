#pragma once

// One running Tevro per data folder. The data folder's lock decides who runs:
// the launch that takes it starts the engine and answers later launches on a
// local socket named after the folder; a launch that cannot take it hands its
// links and files to the holder and exits, never starting an engine.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <QString>

#include <sys/types.h>

#include "tevro/shell/data_folder_lock.h"

class QLocalServer;
class QLocalSocket;

namespace tevro {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const std::filesystem::path& dataFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket name for a data folder.
    static QString serverName(const std::filesystem::path& dataFolder);

    enum class Role {
        // This process holds the lock: it runs the engine.
        primary,
        // The holder took the URLs.
        handedOff,
    };
    // Takes the lock, or hands `urls` to the holder. While the holder lives
    // the launch keeps trying and waits for its answer however long it takes
    // (after a few seconds it says so on standard error); when the holder lets
    // go of the lock first, this launch takes it and becomes the primary.
    // With `relaunchAfter` (a process being replaced by an update) it hands
    // nothing over: it waits for that process to let go and then takes the lock.
    Role claim(const std::vector<std::string>& urls, std::optional<pid_t> relaunchAfter = {});
    bool isPrimary() const { return m_lock.isHeld(); }

    // One attempt to send `urls` to a running instance; true when one took them.
    bool handOff(const std::vector<std::string>& urls, int timeoutMs = 3000);
    // Starts answering later launches; false when the socket cannot be made.
    // Only the lock's holder may call it: a socket file it finds is stale.
    bool listen();
    // Stops answering (the application is quitting): later launches wait
    // for the lock instead of handing their URLs to a process on its way out.
    void close();

    // How long a launch waits before it says that it waits.
    static constexpr int kPatienceMs = 3000;

signals:
    // The URLs one later launch handed over, in its order.
    void received(const std::vector<std::string>& urls);

private:
    void accept();
    // Sends and waits while the holder holds the lock: true when answered,
    // false when the connection ended unanswered or the lock came free.
    bool deliver(QLocalSocket& socket, const std::vector<std::string>& urls);
    void sayWaiting(const char* what);

    QString m_name;
    DataFolderLock m_lock;
    QLocalServer* m_server = nullptr;
    std::vector<QLocalSocket*> m_clients;
    bool m_closed = false;
    // When the current claim began waiting, and whether it said so.
    qint64 m_waitStart = 0;
    bool m_saidWaiting = false;
};

} // namespace tevro
