#pragma once

// Video drawn by libmpv's OpenGL renderer into a QOpenGLWidget (X11 and
// Wayland). mpv's render context is made with the widget's GL context on
// first initialisation and freed with that context current.

#include <QOpenGLWidget>

#include "tevro/player/video_surface.h"

namespace tevro {

class OpenGLVideoSurface final : public QOpenGLWidget, public VideoSurface {
    Q_OBJECT
public:
    OpenGLVideoSurface(std::weak_ptr<MPVCore> core, QWidget* parent = nullptr);
    ~OpenGLVideoSurface() override;

    QWidget* widget() override { return this; }
    std::optional<QImage> snapshot(QSize size) override;

protected:
    void initializeGL() override;
    void paintGL() override;
    bool makeCurrent() override;
    void doneCurrent() override;
    void scheduleRepaint() override { update(); }

private:
    void swapped();
    void contextLost();
};

} // namespace tevro
