#pragma once

// Shows a file or folder in the desktop's file manager: the item selected in
// its folder through org.freedesktop.FileManager1.ShowItems on the session bus,
// else (no bus, no file manager answering) the folder opened as a URL. This is
// what the engine's reveal option expects.

#include <filesystem>
#include <functional>

#include <QString>

namespace tevro {

class FileManager {
public:
    FileManager() = delete;

    // `select`: the target exists and should be selected in its folder; else
    // `target` is a folder to open.
    static void show(const std::filesystem::path& target, bool select);

    // Where the fallback goes (QDesktopServices::openUrl unless replaced, for tests).
    static void setOpenFolder(std::function<void(const QString& folder)> open);

    // Asks the session bus's file manager to show `target` selected; false when
    // there is no bus or no file manager answered.
    static bool showItem(const std::filesystem::path& target);
};

} // namespace tevro
