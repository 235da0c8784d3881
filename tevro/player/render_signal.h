#pragma once

// Coalesces libmpv's frame-ready callbacks: any number of signals between two
// runs of the handler give one run, on the queue "tevro.mpv.render-updates".
// The signal itself only sets a flag and posts, so it is safe from mpv's
// threads and from inside mpv's update callback.

#include <atomic>
#include <functional>
#include <memory>

#include "tevro/core/serial_queue.h"

namespace tevro {

class RenderSignal {
public:
    // `handler` runs on the signal's queue.
    explicit RenderSignal(std::function<void()> handler);
    // Stops the queue; a run already under way finishes first.
    ~RenderSignal();
    RenderSignal(const RenderSignal&) = delete;
    RenderSignal& operator=(const RenderSignal&) = delete;

    void signal();
    // No more runs after this returns. Idempotent.
    void cancel();

    // The update callback for mpv, with the signal as its context.
    static void callback(void* signal);

private:
    std::function<void()> m_handler;
    std::atomic<bool> m_queued{false};
    std::atomic<bool> m_cancelled{false};
    SerialQueue m_queue{"tevro.mpv.render-updates"};
};

} // namespace tevro
