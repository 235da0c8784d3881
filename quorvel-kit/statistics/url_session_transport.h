#pragma once

// The statistics transport over Qt's network access: its own manager per
// instance, no cookies, no cache, 20 s for a whole request.

#include <chrono>
#include <memory>

#include "quorvel-kit/statistics/statistics_transport.h"

class QNetworkAccessManager;

namespace quorvel {

class URLSessionTransport : public StatisticsTransport {
public:
    explicit URLSessionTransport(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    ~URLSessionTransport() override;

    void send(const HttpRequest& request, std::function<void(Result)> done) override;

private:
    std::chrono::milliseconds m_timeout;
    // Made on the first send, on the sending thread, which must also destroy it.
    std::unique_ptr<QNetworkAccessManager> m_session;
};

} // namespace quorvel
