#pragma once

// What a server sends on a raw socket until it closes the connection, read
// while the test's event loop runs (the servers live on it).

#include <cerrno>
#include <string>

#include <sys/socket.h>

#include "tests/support/qt_app.h"

namespace tevro::test {

inline std::string replyUntilClosed(int fd) {
    std::string got;
    char buffer[4096];
    waitUntil([&] {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
        return n == 0 || (n < 0 && errno != EAGAIN);
    });
    return got;
}

} // namespace tevro::test
