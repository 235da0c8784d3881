#pragma once

// Downloads a public tracker list from the first source that yields one.
// Each request has a 12-second idle timeout, an overall deadline and a body
// cap, so a slow or endless source cannot hold the refresh.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>
#include <QPointer>

class QNetworkAccessManager;
class QNetworkReply;

namespace tevro {

class TrackerListFetcher : public QObject {
    Q_OBJECT
public:
    struct Result {
        std::vector<std::string> trackers; // at most 80
        std::string host;                  // of the source that answered
    };

    struct Limits {
        int idleTimeoutMs = 12000;
        int deadlineMs = 30000;
        qint64 maxBodyBytes = 1 << 20;
    };

    explicit TrackerListFetcher(QObject* parent = nullptr);
    ~TrackerListFetcher() override;

    void setLimits(Limits limits) { m_limits = limits; }

    // Tries the sources in order; `done` gets the first usable list, or
    // nothing when every source failed. Runs on the calling (main) thread.
    void fetch(std::vector<std::string> sources, std::function<void(std::optional<Result>)> done);

    // The usable lines of a list body: UTF-8, one URL a line, udp/http/https
    // only; nothing when fewer than 5 remain; the first 80 otherwise.
    static std::optional<std::vector<std::string>> parse(std::string_view body);

private:
    struct Job;
    void next(std::shared_ptr<Job> job);

    QNetworkAccessManager* m_network;
    Limits m_limits;
};

} // namespace tevro
