#include "tevro/player/software_video_surface.h"

#include <mpv/render.h>

#include <QPainter>
#include <QPaintEvent>

namespace tevro {

SoftwareVideoSurface::SoftwareVideoSurface(std::weak_ptr<MPVCore> core, QWidget* parent)
    : QWidget(parent), VideoSurface(std::move(core)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    createContext(params, this);
}

SoftwareVideoSurface::~SoftwareVideoSurface() {
    VideoSurface::destroy();
}

bool SoftwareVideoSurface::render(QImage& image) {
    int size[2] = {image.width(), image.height()};
    size_t stride = static_cast<size_t>(image.bytesPerLine());
    // Memory order B, G, R, padding: QImage's RGB32 on a little-endian machine.
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, size},
        {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, image.bits()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_render(m_mpv, params) < 0)
        return false;
    // RGB32 wants an opaque padding byte; mpv leaves it unspecified.
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] |= 0xff000000u;
    }
    return true;
}

void SoftwareVideoSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QSize size = (QSizeF(this->size()) * devicePixelRatioF()).toSize();
    if (m_mpv && !size.isEmpty()) {
        if (m_frame.size() != size)
            m_frame = QImage(size, QImage::Format_RGB32);
        mpv_render_context_update(m_mpv);
        if (render(m_frame)) {
            mpv_render_context_report_swap(m_mpv);
            drew();
            m_frame.setDevicePixelRatio(devicePixelRatioF());
            painter.drawImage(QPoint(0, 0), m_frame);
            return;
        }
    }
    painter.fillRect(rect(), Qt::black);
}

std::optional<QImage> SoftwareVideoSurface::snapshot(QSize size) {
    if (!m_mpv || size.isEmpty())
        return std::nullopt;
    QImage image(size, QImage::Format_RGB32);
    if (!render(image))
        return std::nullopt;
    return image;
}

} // namespace tevro
