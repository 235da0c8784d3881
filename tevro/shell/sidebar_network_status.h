#pragma once

// The sidebar block that tells whether the session can be reached: DHT nodes
// and network profile, the listening port and its state (addresses as a
// tooltip) and the number of blocked peers. Redraws on the engine's session
// information and settings.

#include <string>

#include <QWidget>

#include "tevro/core/app_settings.h"
#include "tevro/core/session_info.h"

class QLabel;

namespace tevro {
class FittedLabel;
}

namespace tevro {

class TorrentEngine;

class SidebarNetworkStatus : public QWidget {
    Q_OBJECT
public:
    explicit SidebarNetworkStatus(TorrentEngine& engine, QWidget* parent = nullptr);

    // "Порт 20000", with " занят", " открыт" or " · <port mapping>" after it.
    static std::string portText(const SessionInfo& info, std::int64_t listenPort);
    // The public addresses the session listens on (at most six), then every
    // listen error, one per line.
    static std::string listenSummary(const SessionInfo& info);
    static std::string profileName(NetworkProfile profile);

    // One line that shrinks to 0.85 of its size, then is elided.
    FittedLabel* portLabel() const { return m_port; }
    QLabel* bannedLabel() const { return m_banned; }
    QWidget* bannedRow() const { return m_bannedRow; }

private:
    void refresh();

    TorrentEngine& m_engine;
    QLabel* m_dht = nullptr;
    QLabel* m_dhtSymbol = nullptr;
    QLabel* m_profile = nullptr;
    QWidget* m_portRow = nullptr;
    QLabel* m_portSymbol = nullptr;
    FittedLabel* m_port = nullptr;
    QWidget* m_bannedRow = nullptr;
    QLabel* m_banned = nullptr;
};

} // namespace tevro
