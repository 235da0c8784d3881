#pragma once

// A named worker thread with an event loop that runs posted tasks one at a
// time, in order. The statistics engine, its timers and its network requests
// all live on one of these. Needs a QCoreApplication, as every Qt event loop.

#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include <QObject>
#include <QThread>

namespace quorvel {

class SerialQueue {
public:
    explicit SerialQueue(const std::string& name);
    // Runs what is already posted, then stops the thread.
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void post(std::function<void()> task);
    // Runs `task` on the queue and waits for it. Never call it from the queue.
    void sync(const std::function<void()>& task);
    bool isCurrent() const { return QThread::currentThread() == &m_thread; }

private:
    class Context;
    void drain();

    QThread m_thread;
    QObject* m_context;
    // Tasks wait here rather than inside Qt's event queue, so the hand-over
    // is ordered by a lock that thread checkers can see.
    std::mutex m_lock;
    std::deque<std::function<void()>> m_tasks;
};

} // namespace quorvel
