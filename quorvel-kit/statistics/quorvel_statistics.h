#pragma once

// The kit's one entry point for usage statistics. Every call returns at once
// and reports nothing; the work runs on the engine's own queue. Counting
// features works before `start` as well.

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <QMetaObject>

#include "quorvel-kit/statistics/engine_dependencies.h"
#include "quorvel-kit/statistics/feature_counters.h"
#include "quorvel-kit/statistics/permission_state.h"
#include "quorvel-kit/statistics/stat_value.h"
#include "quorvel-kit/statistics/statistics_configuration.h"

class QSettings;
class QTimer;

namespace quorvel {

class SerialQueue;
class StatisticsEngine;

class QuorvelStatistics {
public:
    static constexpr const char* kEnabledKey = "QuorvelKit.statisticsEnabled";

    // The process-wide instance, over the application's settings.
    static QuorvelStatistics& shared();

    // An instance of its own over `defaults` (the shared one uses the process's).
    explicit QuorvelStatistics(std::shared_ptr<QSettings> defaults);
    ~QuorvelStatistics();
    QuorvelStatistics(const QuorvelStatistics&) = delete;
    QuorvelStatistics& operator=(const QuorvelStatistics&) = delete;

    // Creates and bootstraps the engine; at most once per instance (a second
    // call is ignored).
    void start(const StatisticsConfiguration& configuration);
    void start(const StatisticsConfiguration& configuration, EngineDependencies dependencies);

    bool isEnabled() const;
    void setEnabled(bool enabled);

    void track(const std::string& name, const StatProperties& properties = {});
    void count(const std::string& feature);
    void updatePermissions(const std::map<std::string, PermissionState>& permissions);
    void deleteCollectedData();
    void flush();

    // Rolls the feature day and saves, waiting at most 0.5 s; says whether the
    // save finished in time. Runs by itself when the application quits.
    bool persistBeforeExit();

    const std::shared_ptr<FeatureCounters>& counters() const { return m_counters; }

private:
    std::shared_ptr<StatisticsEngine> engine() const;
    void post(std::function<void(StatisticsEngine&)> work);
    void installObservers();

    mutable std::mutex m_lock; // guards m_engine
    std::shared_ptr<StatisticsEngine> m_engine;
    std::unique_ptr<SerialQueue> m_queue;
    std::shared_ptr<FeatureCounters> m_counters;
    mutable std::mutex m_defaultsLock;
    std::shared_ptr<QSettings> m_defaults;
    std::unique_ptr<QTimer> m_resumeWatch;
    QMetaObject::Connection m_quitObserver;
};

} // namespace quorvel
