#pragma once

// The files of the automation server in "<data folder>/automation": the
// folder itself (the user's own, mode 0700, never a link), "server.lock",
// whose exclusive lock lets one process per data folder serve, and
// "endpoint.json" (mode 0600) telling clients the port and token.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>

namespace tevro {

class AutomationEndpoint {
public:
    static constexpr const char* kLockFile = "server.lock";
    static constexpr const char* kEndpointFile = "endpoint.json";

    enum class Lock { held, elsewhere };

    explicit AutomationEndpoint(std::filesystem::path folder) : m_folder(std::move(folder)) {}
    ~AutomationEndpoint() { release(); }
    AutomationEndpoint(const AutomationEndpoint&) = delete;
    AutomationEndpoint& operator=(const AutomationEndpoint&) = delete;

    const std::filesystem::path& folder() const { return m_folder; }
    bool holdsLock() const { return m_lockFD >= 0; }

    // Makes the folder safe and takes the lock; `elsewhere` when another
    // process holds it. Errors are the messages to print.
    std::expected<Lock, std::string> acquire();
    // Writes "endpoint.json" through a temporary file and a rename.
    std::expected<void, std::string> publish(std::uint16_t port, const std::string& token,
                                             std::int64_t pid);
    // Removes "endpoint.json" and lets the lock go; nothing when the lock is not held.
    void release();

    // 64 lowercase hexadecimal digits from the system's secure random source.
    static std::expected<std::string, std::string> makeToken();

private:
    std::filesystem::path m_folder;
    int m_folderFD = -1;
    int m_lockFD = -1;
};

} // namespace tevro
