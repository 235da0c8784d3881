#include "tevro/core/serial_queue.h"

#include <future>

#include <pthread.h>

namespace tevro {

SerialQueue::SerialQueue(std::string label) : m_label(std::move(label)) {
    m_thread = std::thread([this] { run(); });
}

SerialQueue::~SerialQueue() {
    stop();
}

bool SerialQueue::post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return false;
        m_tasks.push_back(std::move(task));
    }
    m_cv.notify_one();
    return true;
}

void SerialQueue::sync(const std::function<void()>& task) {
    if (isCurrent()) {
        task();
        return;
    }
    std::promise<void> done;
    auto future = done.get_future();
    if (!post([&] {
            task();
            done.set_value();
        }))
        return;
    future.wait();
}

size_t SerialQueue::pending() const {
    std::lock_guard lock(m_mutex);
    return m_tasks.size() + m_running;
}

void SerialQueue::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable() && !isCurrent())
        m_thread.join();
}

void SerialQueue::run() {
    // Thread names are limited to 15 bytes.
    pthread_setname_np(pthread_self(), m_label.substr(0, 15).c_str());
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_cv.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_tasks.empty())
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
            m_running = 1;
        }
        task();
        std::lock_guard lock(m_mutex);
        m_running = 0;
    }
}

} // namespace tevro
