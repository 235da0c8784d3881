// The statistics engine's side of the upload protocol: deletions, event
// batches, answers, back-off and cadence.

#include <QRandomGenerator>
#include <QTimer>

#include "quorvel-kit/statistics/gzip.h"
#include "quorvel-kit/statistics/statistics_engine.h"

namespace quorvel {

namespace {
// An app id that is not UTF-8 must not end the process at an upload.
constexpr auto kReplace = nlohmann::json::error_handler_t::replace;
} // namespace

void StatisticsEngine::scheduleUpload() {
    m_uploadTimer.reset();
    m_uploadDue.reset();
    // An attempt in flight is never cancelled: it re-arms the timer when it
    // ends, and by then any flush or deletion asked for meanwhile is due.
    if (m_uploading)
        return;
    if (!m_dependencies.timers || !m_endpoint)
        return;
    bool events = m_enabled && m_queue && !m_queue->entries().empty();
    if (!events && m_state.pendingDeletions.empty())
        return;
    Date now = m_dependencies.now();
    Date due = m_flushRequested || !m_state.pendingDeletions.empty() ? now
               : m_lastAttempt ? *m_lastAttempt + kUploadInterval
                               : now + m_dependencies.firstUploadDelay;
    if (m_state.retryAt && *m_state.retryAt > due)
        due = *m_state.retryAt;
    m_uploadDue = due;
    m_uploadTimer = arm(std::max(0.0, due - now), &StatisticsEngine::uploadTimerFired);
}

void StatisticsEngine::uploadTimerFired() {
    if (m_uploadTimer)
        m_uploadTimer.release()->deleteLater();
    m_uploadDue.reset();
    upload();
}

void StatisticsEngine::backoff(std::optional<double> retryAfter) {
    Date now = m_dependencies.now();
    if (retryAfter) {
        m_state.retryAt = now + std::min(*retryAfter, 86400.0);
        return;
    }
    m_state.backoff = m_state.backoff == 0 ? 60 : std::min(m_state.backoff * 2, 21600.0);
    double jitter = 0.8 + 0.4 * QRandomGenerator::global()->generateDouble();
    m_state.retryAt = now + m_state.backoff * jitter;
}

HttpRequest StatisticsEngine::request(const std::string& path, std::string body) const {
    QUrl url = *m_endpoint;
    QString base = url.path();
    if (!base.endsWith('/'))
        base += '/';
    url.setPath(base + QString::fromStdString(path));
    HttpRequest r;
    r.url = url.toString().toStdString();
    r.headers.emplace_back("Content-Type", "application/json");
    r.body = std::move(body);
    r.timeout = 60;
    return r;
}

void StatisticsEngine::upload() {
    if (m_uploading || !m_endpoint)
        return;
    m_uploading = true;
    m_lastAttempt = m_dependencies.now();
    m_flushRequested = false;
    sendNextDeletion();
}

void StatisticsEngine::sendNextDeletion() {
    if (m_state.pendingDeletions.empty()) {
        sendEvents();
        return;
    }
    std::string id = m_state.pendingDeletions.front();
    nlohmann::json body{{"app_id", m_configuration.appID}, {"installation_id", id}};
    std::weak_ptr<StatisticsEngine> weak = weak_from_this();
    m_dependencies.transport->send(request("v1/data/delete", body.dump(-1, ' ', false, kReplace)),
                                   [weak, id](StatisticsTransport::Result result) {
                                       if (auto engine = weak.lock())
                                           engine->deletionAnswered(id, result);
                                   });
}

void StatisticsEngine::deletionAnswered(const std::string& id,
                                        const StatisticsTransport::Result& result) {
    if (result && (result->status == 202 || result->status == 400)) {
        std::erase(m_state.pendingDeletions, id);
        save();
        sendNextDeletion();
        return;
    }
    backoff(result ? retryAfter(*result) : std::nullopt);
    save();
    finishUpload();
}

void StatisticsEngine::sendEvents() {
    if (!m_enabled || !m_queue) {
        finishUpload();
        return;
    }
    std::vector<EventQueue::Entry> batch = m_queue->batch(kBatchLimit, kBatchBytes);
    std::set<std::string> ids;
    std::set<std::string> damaged;
    std::string events;
    for (const EventQueue::Entry& e : batch) {
        // One damaged line would make the whole body invalid and the service
        // would refuse (and so drop) every good event beside it.
        if (!nlohmann::json::accept(e.json)) {
            damaged.insert(e.id);
            continue;
        }
        if (!ids.empty())
            events += ',';
        events += e.json;
        ids.insert(e.id);
    }
    for (const std::string& id : ids)
        damaged.erase(id); // an id shared with a good entry stays
    if (!damaged.empty())
        m_queue->remove(damaged);
    if (ids.empty()) {
        finishUpload();
        return;
    }
    std::string body =
        "{\"app_id\":" + nlohmann::json(m_configuration.appID).dump(-1, ' ', false, kReplace) +
        ",\"installation_id\":" + nlohmann::json(m_installationID).dump() + ",\"events\":[" +
        events + "]}";
    HttpRequest r = request("v1/events", body);
    if (auto compressed = Gzip::compress(body)) {
        r.body = std::move(*compressed);
        r.headers.emplace_back("Content-Encoding", "gzip");
    }
    std::weak_ptr<StatisticsEngine> weak = weak_from_this();
    m_dependencies.transport->send(r, [weak, ids](StatisticsTransport::Result result) {
        if (auto engine = weak.lock())
            engine->eventsAnswered(ids, result);
    });
}

void StatisticsEngine::eventsAnswered(const std::set<std::string>& ids,
                                      const StatisticsTransport::Result& result) {
    int status = result ? result->status : 0;
    if (status == 200 || status == 202) {
        if (m_queue)
            m_queue->remove(ids);
        m_state.backoff = 0;
        m_state.retryAt.reset();
        if (m_queue && m_queue->entries().size() >= kFlushThreshold)
            m_flushRequested = true;
    } else if (status == 400 || status == 413 || status == 415) {
        if (m_queue)
            m_queue->remove(ids);
    } else if (status == 429 || status == 503) {
        backoff(retryAfter(*result));
    } else {
        backoff(std::nullopt);
    }
    save();
    finishUpload();
}

void StatisticsEngine::finishUpload() {
    m_uploading = false;
    ++m_finishedUploads;
    scheduleUpload();
}

} // namespace quorvel
