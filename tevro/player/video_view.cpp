#include "tevro/player/video_view.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QWheelEvent>
#include <QWindow>

#include "tevro/player/opengl_video_surface.h"
#include "tevro/player/software_video_surface.h"

namespace tevro {

namespace {

constexpr QSize kSnapshotSize(960, 540);

} // namespace

VideoView::Renderer VideoView::defaultRenderer() {
    static const Renderer renderer = [] {
        QString platform = QGuiApplication::platformName();
        if (platform != "xcb" && !platform.startsWith("wayland"))
            return Renderer::software;
        QOpenGLContext context;
        return context.create() ? Renderer::openGL : Renderer::software;
    }();
    return renderer;
}

VideoView::VideoView(std::weak_ptr<MPVCore> core, QWidget* parent)
    : VideoView(std::move(core), defaultRenderer(), parent) {}

VideoView::VideoView(std::weak_ptr<MPVCore> core, Renderer renderer, QWidget* parent)
    : QWidget(parent), m_renderer(renderer) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    if (renderer == Renderer::openGL) {
        auto* surface = new OpenGLVideoSurface(std::move(core), this);
        m_surface = surface;
    } else {
        auto* surface = new SoftwareVideoSurface(std::move(core), this);
        m_surface = surface;
    }
    QWidget* w = m_surface->widget();
    // Input goes to the view; the surface only draws.
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    w->setFocusPolicy(Qt::NoFocus);
    w->setGeometry(rect());
}

VideoView::~VideoView() {
    destroy();
}

bool VideoView::hasContext() const {
    return m_surface && m_surface->hasContext();
}

bool VideoView::framesVisible() const {
    return m_surface && m_surface->isVisible();
}

RenderCounters VideoView::counters() const {
    return m_surface ? m_surface->counters() : RenderCounters{};
}

std::map<std::string, std::string> VideoView::diagnostics() const {
    if (!hasContext())
        return {};
    RenderCounters c = m_surface->counters();
    return {{"rendered-frames", std::to_string(c.rendered)},
            {"hidden-frames-skipped", std::to_string(c.skipped)},
            {"frames-due", std::to_string(c.due)},
            {"dropped-frames", std::to_string(c.dropped)}};
}

bool VideoView::writeSnapshot(const QString& path) {
    if (!m_surface)
        return false;
    auto image = m_surface->snapshot(kSnapshotSize);
    return image && image->save(path, "PNG");
}

void VideoView::destroy() {
    if (m_surface)
        m_surface->destroy();
}

void VideoView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_surface)
        m_surface->widget()->setGeometry(rect());
}

bool VideoView::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::ParentChange:
        watchWindow();
        updateVisibility();
        break;
    case QEvent::Hide:
        updateVisibility();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void VideoView::watchWindow() {
    QWidget* top = window();
    if (top != m_watchedWindow) {
        if (m_watchedWindow)
            m_watchedWindow->removeEventFilter(this);
        m_watchedWindow = top;
        top->installEventFilter(this);
        if (onWindow && top != this)
            onWindow(top);
    }
    QWindow* handle = top->windowHandle();
    if (handle != m_watchedHandle) {
        if (m_watchedHandle)
            m_watchedHandle->removeEventFilter(this);
        m_watchedHandle = handle;
        if (handle)
            handle->installEventFilter(this);
    }
}

bool VideoView::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::WindowStateChange:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Expose:
        if (watched == m_watchedWindow && event->type() == QEvent::Show)
            watchWindow();
        updateVisibility();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void VideoView::updateVisibility() {
    if (!m_surface)
        return;
    QWidget* top = window();
    QWindow* handle = top ? top->windowHandle() : nullptr;
    // A window that is shown but not exposed (covered, on another desktop)
    // cannot be seen either.
    bool visible = isVisible() && top && !top->isMinimized() && handle && handle->isExposed();
    m_surface->setVisible(visible);
}

void VideoView::keyPressEvent(QKeyEvent* event) {
    if (onKey && onKey(*event)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void VideoView::wheelEvent(QWheelEvent* event) {
    if (onScroll && onScroll(*event)) {
        event->accept();
        return;
    }
    QWidget::wheelEvent(event);
}

void VideoView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    // A third press of a quick series comes as a plain press: a single click.
    if (onClick)
        onClick();
    event->accept();
}

void VideoView::mouseDoubleClickEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (onDoubleClick)
        onDoubleClick();
    event->accept();
}

} // namespace tevro
