#include "tevro/player/queue_timer.h"

namespace tevro {

QueueTimer::QueueTimer(SerialQueue& queue, std::function<void()> handler)
    : m_queue(queue), m_handler(std::move(handler)) {
    m_thread = std::thread([this] { run(); });
}

QueueTimer::~QueueTimer() {
    cancel();
}

void QueueTimer::schedule(Clock::duration delay, Clock::duration interval) {
    std::lock_guard lock(m_mutex);
    m_next = Clock::now() + delay;
    m_interval = interval;
    m_cv.notify_all();
}

void QueueTimer::suspend() {
    std::lock_guard lock(m_mutex);
    m_next.reset();
    m_cv.notify_all();
}

void QueueTimer::cancel() {
    m_cancelled = true;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_next.reset();
        m_cv.notify_all();
    }
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void QueueTimer::run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (!m_next) {
            m_cv.wait(lock);
            continue;
        }
        if (m_cv.wait_until(lock, *m_next) != std::cv_status::timeout)
            continue; // re-armed, suspended or stopping
        if (!m_next || Clock::now() < *m_next)
            continue;
        if (m_interval > Clock::duration::zero())
            m_next = *m_next + m_interval;
        else
            m_next.reset();
        if (!m_queued.exchange(true)) {
            ++m_firings;
            m_queue.post([this] {
                m_queued = false;
                if (!m_cancelled)
                    m_handler();
            });
        }
    }
}

} // namespace tevro
