#pragma once

// A loopback statistics service for the kit's tests: records every request
// (gzip bodies inflated), answers from a script per path, and can stall or
// drop a connection instead of answering.

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <QTcpServer>

#include <nlohmann/json.hpp>

namespace quorvel::test {

class StatisticsService : public QObject {
    Q_OBJECT
public:
    enum class Mode { answer, stall, drop };
    struct Reply {
        Reply(int status = 202, std::vector<std::pair<std::string, std::string>> headers = {},
              Mode mode = Mode::answer, int delayMs = 0)
            : status(status), headers(std::move(headers)), mode(mode), delayMs(delayMs) {}
        int status;
        std::vector<std::pair<std::string, std::string>> headers;
        Mode mode;
        int delayMs; // answers this much later
    };
    struct Request {
        std::string path;
        std::map<std::string, std::string> headers; // names in lower case
        std::string rawBody;
        std::string body; // inflated when the request was gzip
        int status = 0;   // the status answered; 0 while unanswered or not answered
        nlohmann::json json() const { return nlohmann::json::parse(body, nullptr, false); }
    };

    StatisticsService();
    std::string url() const; // base address, "http://127.0.0.1:PORT/"

    // Replies used in order for a path; once used up, `fallback` answers.
    void script(const std::string& path, std::vector<Reply> replies);
    void setFallback(Reply reply) { m_fallback = std::move(reply); }

    const std::vector<Request>& requests() const { return m_requests; }
    std::vector<Request> requests(const std::string& path) const;
    // Requests received but not answered yet, now and at most at once.
    int open() const { return m_open; }
    int mostOpen() const { return m_mostOpen; }
    // Every event id the service answered 200 or 202 for.
    const std::vector<std::string>& acceptedEvents() const { return m_accepted; }

    static std::string gunzip(const std::string& bytes);

private:
    void serve(QTcpSocket* socket);

    QTcpServer m_server;
    std::map<std::string, std::deque<Reply>> m_scripts;
    Reply m_fallback;
    std::vector<Request> m_requests;
    std::vector<std::string> m_accepted;
    int m_open = 0;
    int m_mostOpen = 0;
};

} // namespace quorvel::test
