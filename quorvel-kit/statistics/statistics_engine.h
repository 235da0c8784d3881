#pragma once

// The statistics core: installation identity, "state.json", "queue.jsonl",
// the feature counters and three timers (upload, day change, save). Created,
// called and destroyed only on its own serial queue; requests in flight do not
// block it, so other calls run while an upload waits for its answer.

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QUrl>

#include <nlohmann/json.hpp>

#include "quorvel-kit/statistics/client_environment.h"
#include "quorvel-kit/statistics/engine_dependencies.h"
#include "quorvel-kit/statistics/event_queue.h"
#include "quorvel-kit/statistics/feature_counters.h"
#include "quorvel-kit/statistics/identity_store.h"
#include "quorvel-kit/statistics/kit_state.h"
#include "quorvel-kit/statistics/permission_state.h"
#include "quorvel-kit/statistics/stat_value.h"
#include "quorvel-kit/statistics/statistics_configuration.h"

class QTimer;

namespace quorvel {

class StatisticsEngine : public std::enable_shared_from_this<StatisticsEngine> {
public:
    static constexpr size_t kBatchLimit = 100;
    static constexpr int64_t kBatchBytes = 900'000;
    static constexpr size_t kFlushThreshold = 50;
    static constexpr double kUploadInterval = 1800;

    // On the engine's queue; does no input or output.
    static std::shared_ptr<StatisticsEngine> create(StatisticsConfiguration configuration,
                                                    EngineDependencies dependencies,
                                                    std::shared_ptr<FeatureCounters> counters,
                                                    bool enabled);
    ~StatisticsEngine();

    const std::optional<ClientEnvironment>& environment() const { return m_environment; }
    const std::string& installationID() const { return m_installationID; }
    const KitState& state() const { return m_state; }
    const std::optional<QUrl>& endpoint() const { return m_endpoint; }
    const std::optional<std::filesystem::path>& storage() const { return m_storage; }
    size_t queuedCount() const { return m_queue ? m_queue->entries().size() : 0; }
    std::vector<nlohmann::json> queuedEvents() const;
    bool uploading() const { return m_uploading; }
    bool flushRequested() const { return m_flushRequested; }
    // When the armed upload timer fires, if one is armed.
    std::optional<Date> uploadDue() const { return m_uploadDue; }
    // When the armed day timer fires, if one is armed.
    std::optional<Date> dayTimerDue() const { return m_dayDue; }
    // Upload attempts that have run to their end.
    int finishedUploads() const { return m_finishedUploads; }

    void bootstrap();
    void record(const std::string& name, const StatProperties& properties, Date date);
    void checkActiveDay();
    void rollFeatures();
    void updatePermissions(const std::map<std::string, PermissionState>& permissions);
    void setEnabled(bool enabled);
    void deleteCollectedData();
    void requestFlush();
    void wake();
    // One attempt: pending deletions, then one batch of events. Answers arrive
    // later on the queue.
    void upload();
    void save();
    void saveIfCountersChanged();

    static std::string localDate(int64_t day);
    // The "Retry-After" header as seconds: a plain decimal number, else nothing.
    static std::optional<double> retryAfter(const HttpResponse& response);
    // The service address allowed for a channel.
    static std::optional<QUrl> resolveEndpoint(const QUrl& configured, Channel channel,
                                               const std::map<std::string, std::string>& env);

private:
    struct PendingEvent {
        std::string name;
        StatProperties properties;
        Date date;
    };

    StatisticsEngine(StatisticsConfiguration configuration, EngineDependencies dependencies,
                     std::shared_ptr<FeatureCounters> counters, bool enabled);

    std::filesystem::path storageDirectory(Channel channel) const;
    std::string newInstallationID();
    void append(const std::string& name, const StatProperties& properties, Date date);
    std::string daysBucket(Date date) const;
    void scheduleUpload();
    void scheduleSave();
    void scheduleDayTimer();
    void backoff(std::optional<double> retryAfter);

    void sendNextDeletion();
    void deletionAnswered(const std::string& id, const StatisticsTransport::Result& result);
    void sendEvents();
    void eventsAnswered(const std::set<std::string>& ids,
                        const StatisticsTransport::Result& result);
    void finishUpload();
    HttpRequest request(const std::string& path, std::string body) const;

    std::unique_ptr<QTimer> arm(double seconds, void (StatisticsEngine::*work)());
    void uploadTimerFired();
    void dayTimerFired();
    void saveTimerFired();

    StatisticsConfiguration m_configuration;
    EngineDependencies m_dependencies;
    std::shared_ptr<FeatureCounters> m_counters;
    std::optional<ClientEnvironment> m_environment;
    std::string m_installationID;
    KitState m_state;
    std::optional<QUrl> m_endpoint;
    std::shared_ptr<IdentityStore> m_identity;
    std::optional<EventQueue> m_queue;
    std::optional<std::filesystem::path> m_storage;
    bool m_enabled;
    bool m_deletionAwaitingBootstrap = false;
    std::vector<PendingEvent> m_pending;
    bool m_uploading = false;
    bool m_flushRequested = false;
    std::optional<Date> m_lastAttempt;
    std::optional<Date> m_uploadDue;
    std::optional<Date> m_dayDue;
    int m_finishedUploads = 0;
    std::unique_ptr<QTimer> m_uploadTimer;
    std::unique_ptr<QTimer> m_dayTimer;
    std::unique_ptr<QTimer> m_saveTimer;
};

} // namespace quorvel
