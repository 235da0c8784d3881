#pragma once

// A private X server (Xvfb with Mesa's GLX) for the OpenGL player tests and
// the render benchmark: started on a free display number, it becomes the
// process's DISPLAY with Qt's xcb platform; stopped when released.

#include <memory>
#include <string>

#include <sys/types.h>

namespace tevro::playback {

class XvfbDisplay {
public:
    // Nothing when Xvfb cannot be started. Call before the QApplication.
    static std::unique_ptr<XvfbDisplay> start(int width = 1920, int height = 1080);
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // ":N"
    const std::string& display() const { return m_display; }

    XvfbDisplay(pid_t pid, std::string display) : m_pid(pid), m_display(std::move(display)) {}

private:
    pid_t m_pid;
    std::string m_display;
};

} // namespace tevro::playback
