#pragma once

// Video drawn by libmpv's software renderer into an image that the widget
// paints: the video surface where Qt has no OpenGL (QT_QPA_PLATFORM=offscreen,
// the tests and the screen shots).

#include <QImage>
#include <QWidget>

#include "tevro/player/video_surface.h"

namespace tevro {

class SoftwareVideoSurface final : public QWidget, public VideoSurface {
    Q_OBJECT
public:
    // Makes mpv's render context at once (none when the core is gone or mpv
    // refuses: the widget stays black).
    SoftwareVideoSurface(std::weak_ptr<MPVCore> core, QWidget* parent = nullptr);
    ~SoftwareVideoSurface() override;

    QWidget* widget() override { return this; }
    std::optional<QImage> snapshot(QSize size) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool makeCurrent() override { return true; }
    void doneCurrent() override {}
    void scheduleRepaint() override { update(); }

private:
    bool render(QImage& image);

    QImage m_frame;
};

} // namespace tevro
