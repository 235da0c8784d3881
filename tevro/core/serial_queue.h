#pragma once

// A named worker thread that runs posted tasks one at a time, in order.
// Used for "tevro.engine", "tevro.artwork", "tevro.mpv.events" and the rest.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tevro {

class SerialQueue {
public:
    explicit SerialQueue(std::string label);
    // Runs what is already queued, then joins the thread.
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const { return m_label; }

    // Queues a task; false once the queue is stopping (the task is dropped).
    bool post(std::function<void()> task);
    // Runs a task on the queue and waits for it; runs it inline when called
    // from the queue's own thread.
    void sync(const std::function<void()>& task);
    // Tasks queued or running.
    size_t pending() const;
    bool isCurrent() const { return std::this_thread::get_id() == m_thread.get_id(); }
    // Stops taking tasks, finishes what is queued and joins. Idempotent.
    void stop();

private:
    void run();

    std::string m_label;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_tasks;
    size_t m_running = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace tevro
