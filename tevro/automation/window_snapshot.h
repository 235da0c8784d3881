#pragma once

// PNG images of the application's windows for test harnesses. Files are
// written beside their destination under a temporary name and renamed into
// place, so a failed write never leaves half an image (nor a stray
// temporary file). Main thread only.

#include <functional>

#include <QByteArray>
#include <QString>

class QWidget;

namespace tevro {

class WindowSnapshot {
public:
    // The window's contents drawn now as PNG bytes, also for a hidden
    // window; empty when it cannot be drawn.
    static QByteArray png(QWidget* window);

    // Writes png(window) to `path`; false when nothing could be written.
    static bool write(QWidget* window, const QString& path);

    // Lets `writer` fill a temporary file in the folder of `path`, then
    // renames it to `path`; false, with nothing left behind and an existing
    // file unchanged, when the writer or the rename fails.
    static bool replace(const QString& path, const std::function<bool(const QString&)>& writer);

    // Where the video image of a player snapshot goes: a trailing ".png"
    // becomes "-video.png"; a path without one is used as it is.
    static QString videoPath(const QString& path);
};

} // namespace tevro
