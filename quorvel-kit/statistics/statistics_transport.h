#pragma once

// How the statistics engine reaches the service: one request at a time,
// answered later on the calling thread.

#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel {

struct HttpRequest {
    std::string method = "POST";
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    double timeout = 60; // seconds
};

struct HttpResponse {
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name, compared without regard to case.
    std::optional<std::string> header(std::string_view name) const;
};

class StatisticsTransport {
public:
    using Result = std::expected<HttpResponse, std::string>;
    virtual ~StatisticsTransport() = default;
    // Every HTTP status is a response; only a failure to get one is an error.
    // `done` runs later, on the thread that called `send`.
    virtual void send(const HttpRequest& request, std::function<void(Result)> done) = 0;
};

} // namespace quorvel
