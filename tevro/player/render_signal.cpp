#include "tevro/player/render_signal.h"

namespace tevro {

RenderSignal::RenderSignal(std::function<void()> handler) : m_handler(std::move(handler)) {}

RenderSignal::~RenderSignal() {
    cancel();
}

void RenderSignal::signal() {
    if (m_cancelled.load(std::memory_order_acquire) || m_queued.exchange(true))
        return;
    m_queue.post([this] {
        m_queued.store(false);
        if (!m_cancelled.load(std::memory_order_acquire))
            m_handler();
    });
}

void RenderSignal::cancel() {
    m_cancelled.store(true, std::memory_order_release);
    m_queue.stop();
}

void RenderSignal::callback(void* signal) {
    static_cast<RenderSignal*>(signal)->signal();
}

} // namespace tevro
