#pragma once

// A small file system of its own for a test: a tmpfs of a given size mounted
// on a folder, unmounted when the object goes. Mounting needs privileges a
// machine may refuse; mount() then gives nothing and why, and the test skips.

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <sys/mount.h>

namespace tevro::test {

class SmallDisk {
public:
    static std::unique_ptr<SmallDisk> mount(const std::filesystem::path& folder, std::size_t bytes,
                                            std::string& why) {
        std::filesystem::create_directories(folder);
        std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
            why = std::strerror(errno);
            return nullptr;
        }
        return std::unique_ptr<SmallDisk>(new SmallDisk(folder));
    }
    ~SmallDisk() { ::umount2(m_folder.c_str(), MNT_DETACH); }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    const std::filesystem::path& folder() const { return m_folder; }

private:
    explicit SmallDisk(std::filesystem::path folder) : m_folder(std::move(folder)) {}
    std::filesystem::path m_folder;
};

} // namespace tevro::test
