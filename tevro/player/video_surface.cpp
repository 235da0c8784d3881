#include "tevro/player/video_surface.h"

#include <atomic>

#include <mpv/render.h>

#include <QMetaObject>
#include <QObject>

namespace tevro {

// Registered with the core as its video layer, so the core frees the render
// context before it destroys its handle.
class VideoSurface::Owner final : public RenderContextOwner {
public:
    explicit Owner(VideoSurface* surface) : surface(surface) {}
    void destroy() override {
        if (surface)
            surface->destroy();
    }
    VideoSurface* surface;
};

// One hand-off to the main thread at a time; the flag is cleared there.
struct VideoSurface::Posting {
    std::atomic<bool> posted{false};
    QObject* receiver = nullptr;
    VideoSurface* surface = nullptr;
};

VideoSurface::VideoSurface(std::weak_ptr<MPVCore> core)
    : m_core(std::move(core)), m_owner(std::make_shared<Owner>(this)),
      m_posting(std::make_shared<Posting>()) {
    m_posting->surface = this;
    std::weak_ptr<Posting> weak = m_posting;
    m_signal = std::make_unique<RenderSignal>([weak] {
        // On the render-update queue: the surface outlives every run
        // (destroy() stops the queue first), so `posting` is safe to read.
        auto posting = weak.lock();
        if (!posting || !posting->receiver || posting->posted.exchange(true))
            return;
        VideoSurface* surface = posting->surface;
        QMetaObject::invokeMethod(
            posting->receiver,
            [posting, surface] {
                posting->posted.store(false);
                surface->frameReady();
            },
            Qt::QueuedConnection);
    });
}

VideoSurface::~VideoSurface() {
    // Subclasses call destroy() while their context still exists; this is
    // the last resort for a surface that never had one.
    destroy();
    m_owner->surface = nullptr;
}

bool VideoSurface::createContext(mpv_render_param* params, QObject* receiver) {
    auto core = m_core.lock();
    if (m_destroyed || !core || !core->handle() || m_mpv)
        return m_mpv != nullptr;
    mpv_render_context* context = nullptr;
    if (mpv_render_context_create(&context, core->handle(), params) < 0 || !context)
        return false;
    m_mpv = context;
    m_posting->receiver = receiver;
    // The core may have had an older layer (a closed window's): this one
    // draws now.
    core->setVideoLayer(m_owner);
    mpv_render_context_set_update_callback(m_mpv, &RenderSignal::callback, m_signal.get());
    m_signal->signal();
    return true;
}

void VideoSurface::freeContext() {
    if (!m_mpv)
        return;
    mpv_render_context_set_update_callback(m_mpv, nullptr, nullptr);
    mpv_render_context_free(m_mpv);
    m_mpv = nullptr;
    m_framePending = false;
}

void VideoSurface::destroy() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    if (m_mpv && makeCurrent()) {
        freeContext();
        doneCurrent();
    } else if (m_mpv) {
        // No context to make current any more: mpv still needs its render
        // state gone before the handle goes.
        freeContext();
    }
    m_signal->cancel();
}

void VideoSurface::setVisible(bool visible) {
    if (visible == m_visible)
        return;
    m_visible = visible;
    if (visible) {
        scheduleRepaint();
    } else if (m_framePending) {
        // The draw it waits for will not come while hidden.
        m_framePending = false;
        if (makeCurrent()) {
            skipFrame();
            doneCurrent();
        }
    }
}

void VideoSurface::frameReady() {
    if (!m_mpv || !makeCurrent())
        return;
    bool due = mpv_render_context_update(m_mpv) & MPV_RENDER_UPDATE_FRAME;
    if (due) {
        ++m_counters.due;
        if (m_visible) {
            if (m_framePending)
                ++m_counters.dropped;
            m_framePending = true;
        } else {
            skipFrame();
        }
    }
    doneCurrent();
    if (due && m_visible)
        scheduleRepaint();
}

void VideoSurface::skipFrame() {
    int skip = 1;
    int block = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_render(m_mpv, params) >= 0) {
        mpv_render_context_report_swap(m_mpv);
        ++m_counters.skipped;
    }
}

void VideoSurface::drew() {
    ++m_counters.rendered;
    m_framePending = false;
}

} // namespace tevro
