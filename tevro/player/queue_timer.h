#pragma once

// A re-armable timer whose firings run as tasks on a serial queue. A firing
// whose task has not run yet absorbs the next one, so a busy queue never
// piles up timer work.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "tevro/core/serial_queue.h"

namespace tevro {

class QueueTimer {
public:
    using Clock = std::chrono::steady_clock;

    // Starts suspended. `queue` must outlive the timer's last queued task.
    QueueTimer(SerialQueue& queue, std::function<void()> handler);
    ~QueueTimer();
    QueueTimer(const QueueTimer&) = delete;
    QueueTimer& operator=(const QueueTimer&) = delete;

    // First firing after `delay`, then every `interval`; a zero interval fires once.
    void schedule(Clock::duration delay, Clock::duration interval);
    // No firing until the next schedule().
    void suspend();
    // Stops for good and joins the timer thread; queued firings do nothing.
    void cancel();

    // Firings handed to the queue so far.
    std::uint64_t firings() const { return m_firings; }

private:
    void run();

    SerialQueue& m_queue;
    std::function<void()> m_handler;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::optional<Clock::time_point> m_next;
    Clock::duration m_interval{};
    bool m_stopping = false;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_queued{false};
    std::atomic<std::uint64_t> m_firings{0};
    std::thread m_thread;
};

} // namespace tevro
