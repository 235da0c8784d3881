#include "quorvel-kit/statistics/serial_queue.h"

#include <latch>

namespace quorvel {

SerialQueue::SerialQueue(const std::string& name) : m_context(new QObject) {
    m_thread.setObjectName(QString::fromStdString(name));
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

SerialQueue::~SerialQueue() {
    QMetaObject::invokeMethod(
        m_context, [this] { m_thread.quit(); }, Qt::QueuedConnection);
    m_thread.wait();
    // Its thread has ended: nothing else can touch it now.
    delete m_context;
}

void SerialQueue::post(std::function<void()> task) {
    QMetaObject::invokeMethod(m_context, std::move(task), Qt::QueuedConnection);
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
