#include "tevro/player/opengl_video_surface.h"

#include <vector>

#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <QOpenGLContext>
#include <QOpenGLFunctions>

namespace tevro {

namespace {

void* procAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

} // namespace

OpenGLVideoSurface::OpenGLVideoSurface(std::weak_ptr<MPVCore> core, QWidget* parent)
    : QOpenGLWidget(parent), VideoSurface(std::move(core)) {
    connect(this, &QOpenGLWidget::frameSwapped, this, &OpenGLVideoSurface::swapped);
}

OpenGLVideoSurface::~OpenGLVideoSurface() {
    VideoSurface::destroy();
    // The base class destroys the GL context after this object is gone.
    if (context())
        disconnect(context(), nullptr, this, nullptr);
}

bool OpenGLVideoSurface::makeCurrent() {
    if (!context() || !isValid())
        return false;
    QOpenGLWidget::makeCurrent();
    return true;
}

void OpenGLVideoSurface::doneCurrent() {
    QOpenGLWidget::doneCurrent();
}

void OpenGLVideoSurface::initializeGL() {
    // The widget drops its GL context when it moves to another window; the
    // render context goes with it and a new one is made here.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &OpenGLVideoSurface::contextLost,
            Qt::UniqueConnection);
    mpv_opengl_init_params init{&procAddress, nullptr};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    createContext(params, this);
}

void OpenGLVideoSurface::contextLost() {
    if (m_mpv && makeCurrent()) {
        freeContext();
        doneCurrent();
    }
}

void OpenGLVideoSurface::paintGL() {
    QOpenGLFunctions* gl = context()->functions();
    if (!m_mpv) {
        gl->glClearColor(0, 0, 0, 1);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    mpv_render_context_update(m_mpv);
    GLint viewport[4] = {0, 0, 0, 0};
    gl->glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] <= 0 || viewport[3] <= 0)
        return;
    mpv_opengl_fbo fbo{static_cast<int>(defaultFramebufferObject()), viewport[2], viewport[3], 0};
    int flip = 1;
    int block = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &flip},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_render(m_mpv, params) >= 0)
        drew();
}

void OpenGLVideoSurface::swapped() {
    if (m_mpv && makeCurrent()) {
        mpv_render_context_report_swap(m_mpv);
        doneCurrent();
    }
}

std::optional<QImage> OpenGLVideoSurface::snapshot(QSize size) {
    if (!m_mpv || size.isEmpty() || !makeCurrent())
        return std::nullopt;
    QOpenGLFunctions* gl = context()->functions();
    GLint savedFramebuffer = 0;
    GLint savedTexture = 0;
    GLint savedViewport[4] = {0, 0, 0, 0};
    gl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &savedFramebuffer);
    gl->glGetIntegerv(GL_TEXTURE_BINDING_2D, &savedTexture);
    gl->glGetIntegerv(GL_VIEWPORT, savedViewport);

    GLuint texture = 0;
    GLuint framebuffer = 0;
    gl->glGenTextures(1, &texture);
    gl->glBindTexture(GL_TEXTURE_2D, texture);
    gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size.width(), size.height(), 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, nullptr);
    gl->glGenFramebuffers(1, &framebuffer);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);

    std::optional<QImage> result;
    if (gl->glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
        mpv_opengl_fbo fbo{static_cast<int>(framebuffer), size.width(), size.height(), GL_RGBA8};
        int flip = 0;
        int block = 0;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
            {MPV_RENDER_PARAM_FLIP_Y, &flip},
            {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (mpv_render_context_render(m_mpv, params) >= 0) {
            // Without flipping, mpv's first row is the picture's top line.
            QImage image(size, QImage::Format_RGBX8888);
            // mpv leaves its own framebuffer binding behind.
            gl->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
            gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
            gl->glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE,
                             image.bits());
            result = image.convertToFormat(QImage::Format_RGB32);
        }
    }

    gl->glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(savedFramebuffer));
    gl->glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(savedTexture));
    gl->glViewport(savedViewport[0], savedViewport[1], savedViewport[2], savedViewport[3]);
    gl->glDeleteFramebuffers(1, &framebuffer);
    gl->glDeleteTextures(1, &texture);
    doneCurrent();
    return result;
}

} // namespace tevro
