#pragma once

// One running Tevro per data folder: the first launch listens on a local
// socket named after its data folder; a later launch hands its links and
// files to it over that socket and exits.

#include <filesystem>
#include <string>
#include <vector>

#include <QObject>
#include <QString>

class QLocalServer;

namespace tevro {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const std::filesystem::path& dataFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket name for a data folder.
    static QString serverName(const std::filesystem::path& dataFolder);

    // Sends `urls` to a running instance; true when one took them.
    bool handOff(const std::vector<std::string>& urls, int timeoutMs = 3000);
    // Starts answering later launches; false when the socket cannot be made.
    bool listen();

signals:
    // The URLs one later launch handed over, in its order.
    void received(const std::vector<std::string>& urls);

private:
    void accept();

    QString m_name;
    QLocalServer* m_server = nullptr;
};

} // namespace tevro
