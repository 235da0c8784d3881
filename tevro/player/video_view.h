#pragma once

// The video of the player window: one widget whatever draws behind it
// (libmpv's OpenGL renderer where Qt has OpenGL, its software renderer where
// it has not, as under QT_QPA_PLATFORM=offscreen). It follows whether its
// window can be seen (shown, not minimised, exposed), so frames due while it
// cannot are consumed without drawing, and hands keys, the scroll wheel,
// clicks and double clicks to its callbacks. Render counters and a PNG
// snapshot of the current frame serve diagnostics. Main thread only.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <QPointer>
#include <QWidget>

#include "tevro/player/mpv_core.h"
#include "tevro/player/video_surface.h"

class QWindow;

namespace tevro {

class VideoView : public QWidget {
    Q_OBJECT
public:
    enum class Renderer { openGL, software };

    // OpenGL on X11 and Wayland when a GL context can be made, else software.
    static Renderer defaultRenderer();

    explicit VideoView(std::weak_ptr<MPVCore> core, QWidget* parent = nullptr);
    VideoView(std::weak_ptr<MPVCore> core, Renderer renderer, QWidget* parent = nullptr);
    ~VideoView() override;

    Renderer renderer() const { return m_renderer; }
    // Whether mpv's render context exists (for OpenGL: once the widget has
    // been shown in a window).
    bool hasContext() const;
    // Whether frames are drawn now (the window can be seen).
    bool framesVisible() const;
    RenderCounters counters() const;
    // "rendered-frames", "hidden-frames-skipped", "frames-due" and
    // "dropped-frames" as decimal text; empty without a render context.
    std::map<std::string, std::string> diagnostics() const;
    // The current frame as a 960 x 540 PNG, whatever the view's size; false
    // without a render context or when mpv or the file refuses.
    bool writeSnapshot(const QString& path);
    // Frees the render context for good (also done on destruction).
    void destroy();

    // true: handled; otherwise the key or scroll goes on to the parent.
    std::function<bool(const QKeyEvent&)> onKey;
    std::function<bool(const QWheelEvent&)> onScroll;
    std::function<void()> onClick;
    std::function<void()> onDoubleClick;
    // The top-level window the view joined.
    std::function<void(QWidget*)> onWindow;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void watchWindow();
    void updateVisibility();

    Renderer m_renderer;
    VideoSurface* m_surface = nullptr;
    QPointer<QWidget> m_watchedWindow;
    QPointer<QWindow> m_watchedHandle;
};

} // namespace tevro
