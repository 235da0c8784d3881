#include "tests/support/playback/software_renderer.h"

#include <mpv/client.h>
#include <mpv/render.h>

namespace tevro::playback {

std::shared_ptr<SoftwareRenderer> SoftwareRenderer::attach(MPVCore& core, int width, int height) {
    mpv_handle* handle = core.handle();
    if (!handle)
        return nullptr;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context* context = nullptr;
    if (mpv_render_context_create(&context, handle, params) < 0)
        return nullptr;
    auto renderer = std::make_shared<SoftwareRenderer>(Passkey{}, context, width, height);
    core.setVideoLayer(renderer);
    return renderer;
}

SoftwareRenderer::SoftwareRenderer(Passkey, mpv_render_context* context, int width, int height)
    : m_context(context), m_width(width), m_height(height),
      m_pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4) {
    m_thread = std::thread([this] { run(); });
    mpv_render_context_set_update_callback(m_context, &SoftwareRenderer::update, this);
}

SoftwareRenderer::~SoftwareRenderer() {
    destroy();
}

void SoftwareRenderer::update(void* context) {
    auto* self = static_cast<SoftwareRenderer*>(context);
    std::lock_guard lock(self->m_mutex);
    self->m_updatePending = true;
    self->m_cv.notify_all();
}

void SoftwareRenderer::run() {
    int size[2] = {m_width, m_height};
    size_t stride = static_cast<size_t>(m_width) * 4;
    std::unique_lock lock(m_mutex);
    while (true) {
        m_cv.wait(lock, [this] { return m_updatePending || m_stopping; });
        if (m_stopping)
            return;
        m_updatePending = false;
        lock.unlock();
        if (mpv_render_context_update(m_context) & MPV_RENDER_UPDATE_FRAME) {
            mpv_render_param params[] = {
                {MPV_RENDER_PARAM_SW_SIZE, size},
                {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("0bgr")},
                {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                {MPV_RENDER_PARAM_SW_POINTER, m_pixels.data()},
                {MPV_RENDER_PARAM_INVALID, nullptr},
            };
            if (mpv_render_context_render(m_context, params) >= 0) {
                std::lock_guard frameLock(m_mutex);
                m_lastFrameAt = Clock::now();
                if (!m_firstFrameAt)
                    m_firstFrameAt = m_lastFrameAt;
                ++m_frames;
            }
        }
        lock.lock();
    }
}

std::optional<SoftwareRenderer::Clock::time_point> SoftwareRenderer::firstFrameAt() const {
    std::lock_guard lock(m_mutex);
    return m_firstFrameAt;
}

std::optional<SoftwareRenderer::Clock::time_point> SoftwareRenderer::lastFrameAt() const {
    std::lock_guard lock(m_mutex);
    return m_lastFrameAt;
}

void SoftwareRenderer::destroy() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_context)
            return;
        m_stopping = true;
        m_cv.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
    mpv_render_context_set_update_callback(m_context, nullptr, nullptr);
    mpv_render_context_free(m_context);
    std::lock_guard lock(m_mutex);
    m_context = nullptr;
}

} // namespace tevro::playback
