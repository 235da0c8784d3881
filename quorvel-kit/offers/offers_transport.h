#pragma once

// The one seam through which every offers and offer-picture request goes.

#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QUrl>

namespace quorvel {

struct OffersRequest {
    QUrl url;
    std::vector<std::pair<std::string, std::string>> headers;
    double timeout = 12;      // seconds without data before the request gives up
    bool ignoresCache = true; // always ask the network
    // The body may not grow beyond this; receiving stops at the first byte over.
    int64_t maximumBytes = 262'144;
};

struct OffersResponse {
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name, compared without regard to case.
    std::optional<std::string> header(std::string_view name) const;
};

class OffersTransport {
public:
    using Result = std::expected<OffersResponse, std::string>;
    virtual ~OffersTransport() = default;
    // Any status is a response; it is never interpreted here. `done` runs
    // later, on the thread that called `send`.
    virtual void send(const OffersRequest& request, std::function<void(Result)> done) = 0;
};

} // namespace quorvel
