#include "quorvel-kit/statistics/serial_queue.h"

#include <latch>

#include <QCoreApplication>
#include <QEvent>

namespace quorvel {

// Lives on the queue's thread; each posted event runs the waiting tasks.
class SerialQueue::Context : public QObject {
public:
    explicit Context(SerialQueue* owner) : m_owner(owner) {}
    // Every event may drain: reading the event's type would be a read that
    // thread checkers cannot order after Qt's hand-over.
    bool event(QEvent* e) override {
        if (m_owner->isCurrent())
            m_owner->drain();
        return QObject::event(e);
    }

private:
    SerialQueue* m_owner;
};

SerialQueue::SerialQueue(const std::string& name) : m_context(new Context(this)) {
    m_thread.setObjectName(QString::fromStdString(name));
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

SerialQueue::~SerialQueue() {
    post([this] { m_thread.quit(); });
    m_thread.wait();
    // The lock orders everything the thread did before this point, for
    // checkers that cannot see through Qt's own wait.
    std::lock_guard lock(m_lock);
    // Its thread has ended: nothing else can touch it now.
    delete m_context;
}

void SerialQueue::post(std::function<void()> task) {
    {
        std::lock_guard lock(m_lock);
        m_tasks.push_back(std::move(task));
    }
    QCoreApplication::postEvent(m_context, new QEvent(QEvent::User));
}

void SerialQueue::drain() {
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(m_lock);
            if (m_tasks.empty())
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

void SerialQueue::sync(const std::function<void()>& task) {
    std::latch done(1);
    post([&] {
        task();
        done.count_down();
    });
    done.wait();
}

} // namespace quorvel
