#include "tevro/automation/automation_endpoint.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QUuid>

#include "tevro/core/json_value.h"

namespace tevro {

namespace {

std::string systemError(int error) {
    return std::strerror(error);
}

// Creates the folder and every missing parent with mode 0700.
std::expected<void, std::string> makeFolders(const std::filesystem::path& folder) {
    std::filesystem::path built;
    for (const auto& part : folder) {
        built /= part;
        if (::mkdir(built.c_str(), 0700) != 0 && errno != EEXIST)
            return std::unexpected(systemError(errno));
    }
    return {};
}

} // namespace

std::expected<AutomationEndpoint::Lock, std::string> AutomationEndpoint::acquire() {
    if (holdsLock())
        return Lock::held;
    if (auto made = makeFolders(m_folder); !made)
        return std::unexpected(made.error());
    // The folder is opened without following a link and checked through the
    // open descriptor, so nothing can be swapped in between.
    int folder = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        if (errno == ELOOP || errno == ENOTDIR)
            return std::unexpected(std::string("Unsafe automation directory"));
        return std::unexpected(systemError(errno));
    }
    struct stat info = {};
    if (::fstat(folder, &info) != 0) {
        int error = errno;
        ::close(folder);
        return std::unexpected(systemError(error));
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        ::close(folder);
        return std::unexpected(std::string("Unsafe automation directory"));
    }
    if (::fchmod(folder, 0700) != 0) {
        int error = errno;
        ::close(folder);
        return std::unexpected(systemError(error));
    }
    int lock = ::openat(folder, kLockFile, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0) {
        ::close(folder);
        return std::unexpected(std::string("Cannot open automation lock"));
    }
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        ::close(lock);
        ::close(folder);
        return Lock::elsewhere;
    }
    m_folderFD = folder;
    m_lockFD = lock;
    return Lock::held;
}

std::expected<void, std::string>
AutomationEndpoint::publish(std::uint16_t port, const std::string& token, std::int64_t pid) {
    if (!holdsLock())
        return std::unexpected(std::string("Cannot publish automation endpoint"));
    Json doc = {{"port", port}, {"token", token}, {"pid", pid}, {"version", 1}};
    std::string bytes = doc.dump();
    std::string temporary = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    int fd = ::openat(m_folderFD, temporary.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return std::unexpected(std::string("Cannot publish automation endpoint"));
    std::expected<void, std::string> result;
    // The mode is set again in case the umask asked for less.
    if (::fchmod(fd, 0600) != 0)
        result = std::unexpected(systemError(errno));
    std::size_t written = 0;
    while (result && written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            result = std::unexpected(systemError(n < 0 ? errno : EIO));
        else
            written += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (result && ::renameat(m_folderFD, temporary.c_str(), m_folderFD, kEndpointFile) != 0)
        result = std::unexpected(std::string("Cannot publish automation endpoint"));
    ::unlinkat(m_folderFD, temporary.c_str(), 0);
    return result;
}

void AutomationEndpoint::release() {
    if (m_lockFD < 0)
        return;
    ::unlinkat(m_folderFD, kEndpointFile, 0);
    ::flock(m_lockFD, LOCK_UN);
    ::close(m_lockFD);
    ::close(m_folderFD);
    m_lockFD = -1;
    m_folderFD = -1;
}

std::expected<std::string, std::string> AutomationEndpoint::makeToken() {
    unsigned char bytes[32];
    std::size_t filled = 0;
    while (filled < sizeof bytes) {
        ssize_t n = ::getrandom(bytes + filled, sizeof bytes - filled, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::unexpected(std::string("Cannot create automation credentials"));
        filled += static_cast<std::size_t>(n);
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bytes) {
        token.push_back(kDigits[b >> 4]);
        token.push_back(kDigits[b & 15]);
    }
    return token;
}

} // namespace tevro
