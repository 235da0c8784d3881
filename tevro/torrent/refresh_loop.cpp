#include "tevro/torrent/refresh_loop.h"

namespace tevro {

RefreshLoop::RefreshLoop(int intervalMs, std::function<void(Ticket)> pass, QObject* parent)
    : QObject(parent), m_pass(std::move(pass)) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(intervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_running)
            m_pass(m_ticket);
    });
}

void RefreshLoop::start() {
    m_timer.stop();
    ++m_ticket;
    m_running = true;
    m_pass(m_ticket);
}

void RefreshLoop::stop() {
    m_timer.stop();
    ++m_ticket;
    m_running = false;
}

void RefreshLoop::passDone(Ticket ticket) {
    if (isCurrent(ticket))
        m_timer.start();
}

} // namespace tevro
