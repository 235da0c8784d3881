#pragma once

// The refresh loop of a view: one pass now, the next one an interval after the
// previous pass finished, while the view is shown. Each start hands out a new
// ticket; a reply carrying an older ticket (the view was hidden, or switched to
// another torrent meanwhile) is dropped by the view.

#include <cstdint>
#include <functional>

#include <QObject>
#include <QTimer>

namespace tevro {

class RefreshLoop : public QObject {
    Q_OBJECT
public:
    using Ticket = std::uint64_t;

    RefreshLoop(int intervalMs, std::function<void(Ticket)> pass, QObject* parent = nullptr);

    // Starts over with a new ticket and runs a pass at once.
    void start();
    // Stops; replies of earlier passes are no longer current.
    void stop();
    bool running() const { return m_running; }
    bool isCurrent(Ticket ticket) const { return m_running && ticket == m_ticket; }
    // A pass stored its results: the next one follows after the interval.
    void passDone(Ticket ticket);

private:
    std::function<void(Ticket)> m_pass;
    QTimer m_timer;
    Ticket m_ticket = 0;
    bool m_running = false;
};

} // namespace tevro
