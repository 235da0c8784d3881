#pragma once

// A tiny HTTP tracker on 127.0.0.1: answers every announce on any path with an
// empty peer list and a long interval, and counts the engine's announces per path.

#include <map>
#include <string>

#include <QTcpServer>

namespace tevro::test {

class LoopbackTracker : public QObject {
    Q_OBJECT
public:
    LoopbackTracker();
    std::string url(const std::string& path = "/announce") const;
    int announces(const std::string& path = "/announce") const;

private:
    QTcpServer m_server;
    std::map<std::string, int> m_counts;
};

} // namespace tevro::test
