#pragma once

// Whatever holds an mpv render context on the core's handle (the video
// layer of the player window, or a test's software renderer). The core asks
// it to free that context before the handle is destroyed, as mpv requires.

namespace tevro {

class RenderContextOwner {
public:
    virtual ~RenderContextOwner() = default;
    // Frees the render context for good; safe to call more than once.
    virtual void destroy() = 0;
};

} // namespace tevro
