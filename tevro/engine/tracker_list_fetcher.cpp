#include "tevro/engine/tracker_list_fetcher.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include "tevro/bridge/utf8.h"
#include "tevro/core/text_lines.h"

namespace tevro {

struct TrackerListFetcher::Job {
    std::vector<std::string> sources;
    size_t index = 0;
    std::function<void(std::optional<Result>)> done;
};

TrackerListFetcher::TrackerListFetcher(QObject* parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this)) {}

TrackerListFetcher::~TrackerListFetcher() = default;

std::optional<std::vector<std::string>> TrackerListFetcher::parse(std::string_view body) {
    if (!bridge::isValidUtf8(body))
        return std::nullopt;
    std::vector<std::string> out;
    for (auto& line : splitTrimmedLines(body)) {
        if (line.starts_with("udp://") || line.starts_with("http://") ||
            line.starts_with("https://"))
            out.push_back(std::move(line));
    }
    if (out.size() < 5)
        return std::nullopt;
    if (out.size() > 80)
        out.resize(80);
    return out;
}

void TrackerListFetcher::fetch(std::vector<std::string> sources,
                               std::function<void(std::optional<Result>)> done) {
    auto job = std::make_shared<Job>();
    job->sources = std::move(sources);
    job->done = std::move(done);
    next(job);
}

void TrackerListFetcher::next(std::shared_ptr<Job> job) {
    if (job->index >= job->sources.size()) {
        job->done(std::nullopt);
        return;
    }
    QUrl url(QString::fromStdString(job->sources[job->index++]));
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(m_limits.idleTimeoutMs);
    QNetworkReply* reply = m_network->get(request);

    auto body = std::make_shared<QByteArray>();
    auto tooBig = std::make_shared<bool>(false);
    const qint64 cap = m_limits.maxBodyBytes;
    connect(reply, &QNetworkReply::readyRead, reply, [reply, body, tooBig, cap] {
        body->append(reply->readAll());
        if (body->size() > cap) {
            *tooBig = true;
            reply->abort();
        }
    });
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline->start(m_limits.deadlineMs);

    QPointer<TrackerListFetcher> self(this);
    connect(reply, &QNetworkReply::finished, this, [self, reply, body, tooBig, job, url] {
        reply->deleteLater();
        if (!self)
            return;
        if (!*tooBig && reply->isOpen())
            body->append(reply->readAll());
        int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() == QNetworkReply::NoError && status == 200 && !*tooBig) {
            if (auto lines =
                    parse(std::string_view(body->constData(), static_cast<size_t>(body->size())))) {
                job->done(Result{std::move(*lines), url.host().toStdString()});
                return;
            }
        }
        self->next(job);
    });
}

} // namespace tevro
