#pragma once

// The drawing half of the video view: owns mpv's render context for the
// core's handle, turns mpv's coalesced frame-ready signals into a redraw
// while the window can be seen and into a skipped render while it cannot,
// and keeps the render counters. Two implementations: OpenGL
// (OpenGLVideoSurface) and libmpv's software renderer (SoftwareVideoSurface).
// Every call into mpv's render API happens on the main thread; for OpenGL
// with the surface's context current.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <QImage>
#include <QPointer>
#include <QSize>

#include "tevro/player/mpv_core.h"
#include "tevro/player/render_signal.h"

struct mpv_render_context;
struct mpv_render_param;
class QObject;
class QWidget;

namespace tevro {

struct RenderCounters {
    std::uint64_t rendered = 0; // frames drawn
    std::uint64_t skipped = 0;  // due while hidden, consumed without drawing
    std::uint64_t due = 0;      // frames mpv said were due
    std::uint64_t dropped = 0;  // due while visible, superseded before a draw
};

class VideoSurface {
public:
    virtual ~VideoSurface();
    VideoSurface(const VideoSurface&) = delete;
    VideoSurface& operator=(const VideoSurface&) = delete;

    // The widget the frames appear in.
    virtual QWidget* widget() = 0;

    bool hasContext() const { return m_mpv != nullptr; }
    const RenderCounters& counters() const { return m_counters; }

    // Whether the hosting window can be seen. Turning visible redraws at once;
    // turning hidden consumes a frame still waiting for its draw.
    void setVisible(bool visible);
    bool isVisible() const { return m_visible; }

    // The current frame scaled to `size`; nothing without a render context
    // or when mpv refuses.
    virtual std::optional<QImage> snapshot(QSize size) = 0;

    // Frees mpv's render context for good; no context is made again.
    // Idempotent; main thread.
    void destroy();
    bool isDestroyed() const { return m_destroyed; }

protected:
    explicit VideoSurface(std::weak_ptr<MPVCore> core);

    // Makes the context mpv renders with current; false when there is none.
    virtual bool makeCurrent() = 0;
    virtual void doneCurrent() = 0;
    // Asks the widget to repaint soon.
    virtual void scheduleRepaint() = 0;

    // With the context current: creates mpv's render context from `params`
    // (null on failure), installs the update callback and signals once.
    // `receiver` is the main-thread object the coalesced updates go to.
    bool createContext(mpv_render_param* params, QObject* receiver);
    // With the context current.
    void freeContext();
    // Counts a draw of the current frame.
    void drew();

    std::weak_ptr<MPVCore> m_core;
    mpv_render_context* m_mpv = nullptr;
    RenderCounters m_counters;
    bool m_visible = true;
    bool m_destroyed = false;
    // A due frame waits for its draw.
    bool m_framePending = false;

private:
    class Owner;
    struct Posting;

    // Main thread, once per coalesced update.
    void frameReady();
    void skipFrame();

    std::shared_ptr<Owner> m_owner;
    std::shared_ptr<Posting> m_posting;
    std::unique_ptr<RenderSignal> m_signal;
};

} // namespace tevro
