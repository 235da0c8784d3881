#pragma once

// Draws a core's video with libmpv's software render API into memory on a
// thread of its own, standing in for the player window's video layer: with
// "vo" "libmpv" and no render context mpv has no video output at all.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "tevro/player/mpv_core.h"
#include "tevro/player/render_context_owner.h"

struct mpv_render_context;

namespace tevro::playback {

class SoftwareRenderer final : public RenderContextOwner {
public:
    using Clock = std::chrono::steady_clock;

    // Makes the render context on the core's handle and registers as the
    // core's video layer, so the core frees it before its handle. Nothing
    // when mpv refuses.
    static std::shared_ptr<SoftwareRenderer> attach(MPVCore& core, int width = 320,
                                                    int height = 240);
    ~SoftwareRenderer() override;
    void destroy() override;

    // Frames drawn so far, and when the first and the last one were.
    std::uint64_t frames() const { return m_frames; }
    std::optional<Clock::time_point> firstFrameAt() const;
    std::optional<Clock::time_point> lastFrameAt() const;

    struct Passkey {};
    SoftwareRenderer(Passkey, mpv_render_context* context, int width, int height);

private:
    static void update(void* context);
    void run();

    mpv_render_context* m_context = nullptr;
    int m_width;
    int m_height;
    std::vector<unsigned char> m_pixels;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_updatePending = false;
    bool m_stopping = false;
    std::optional<Clock::time_point> m_firstFrameAt;
    std::optional<Clock::time_point> m_lastFrameAt;
    std::atomic<std::uint64_t> m_frames{0};
    std::thread m_thread;
};

} // namespace tevro::playback
