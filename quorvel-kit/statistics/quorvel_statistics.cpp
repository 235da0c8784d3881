#include "quorvel-kit/statistics/quorvel_statistics.h"

#include <chrono>
#include <semaphore>

#include <time.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QTimer>

#include "quorvel-kit/statistics/serial_queue.h"
#include "quorvel-kit/statistics/statistics_engine.h"

namespace quorvel {

namespace {

constexpr auto kExitWait = std::chrono::milliseconds(500);
constexpr int kResumeCheckMs = 10'000;

std::shared_ptr<QSettings> processDefaults() {
    QString org = QCoreApplication::organizationName();
    QString app = QCoreApplication::applicationName();
    if (app.isEmpty())
        app = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().section('/', -1);
    return std::make_shared<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       org.isEmpty() ? app : org, app);
}

// Seconds the machine spent suspended since boot: the boot clock runs on
// through a suspend, the monotonic one stops.
double suspendedSeconds() {
    timespec boot{}, mono{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    clock_gettime(CLOCK_MONOTONIC, &mono);
    return double(boot.tv_sec - mono.tv_sec) + double(boot.tv_nsec - mono.tv_nsec) / 1e9;
}

} // namespace

QuorvelStatistics& QuorvelStatistics::shared() {
    // Never destroyed: timers and the exit hook may still reach it late.
    static QuorvelStatistics* instance = new QuorvelStatistics(processDefaults());
    return *instance;
}

QuorvelStatistics::QuorvelStatistics(std::shared_ptr<QSettings> defaults)
    : m_counters(std::make_shared<FeatureCounters>(TimeZone::current())),
      m_defaults(std::move(defaults)) {}

QuorvelStatistics::~QuorvelStatistics() {
    QObject::disconnect(m_quitObserver);
    m_counters->setOnDayFinished({});
    if (m_queue) {
        // The engine's timers and network objects belong to its thread.
        m_queue->sync([this] {
            m_resumeWatch.reset();
            std::lock_guard lock(m_lock);
            m_engine.reset();
        });
        m_queue.reset();
    }
}

bool QuorvelStatistics::isEnabled() const {
    std::lock_guard lock(m_defaultsLock);
    QVariant value = m_defaults->value(kEnabledKey);
    // The settings file keeps a flag as the text "true" or "false".
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() == QMetaType::QString && value.toString() == "false")
        return false;
    return true;
}

void QuorvelStatistics::setEnabled(bool enabled) {
    {
        std::lock_guard lock(m_defaultsLock);
        m_defaults->setValue(kEnabledKey, enabled);
        m_defaults->sync();
    }
    post([enabled](StatisticsEngine& e) { e.setEnabled(enabled); });
}

void QuorvelStatistics::start(const StatisticsConfiguration& configuration) {
    start(configuration, EngineDependencies::standard());
}

void QuorvelStatistics::start(const StatisticsConfiguration& configuration,
                              EngineDependencies dependencies) {
    {
        std::lock_guard lock(m_lock);
        if (m_queue)
            return;
        // Read under the lock: an opt-out stored before this point is read
        // here, one stored after it reaches the engine set below.
        const bool enabled = isEnabled();
        m_queue = std::make_unique<SerialQueue>("quorvel.statistics");
        m_queue->sync([&] {
            m_engine = StatisticsEngine::create(configuration, std::move(dependencies), m_counters,
                                                enabled);
        });
        m_counters->setEnabled(enabled);
    }
    std::weak_ptr<StatisticsEngine> weak = engine();
    SerialQueue* queue = m_queue.get();
    m_counters->setOnDayFinished([weak, queue] {
        queue->post([weak] {
            if (auto e = weak.lock())
                e->rollFeatures();
        });
    });
    post([](StatisticsEngine& e) { e.bootstrap(); });
    installObservers();
}

void QuorvelStatistics::installObservers() {
    std::weak_ptr<StatisticsEngine> weak = engine();
    m_queue->post([this, weak] {
        m_resumeWatch = std::make_unique<QTimer>();
        auto last = std::make_shared<double>(suspendedSeconds());
        QObject::connect(m_resumeWatch.get(), &QTimer::timeout, m_resumeWatch.get(), [weak, last] {
            double now = suspendedSeconds();
            bool resumed = now - *last > 1.0;
            *last = now;
            if (auto e = weak.lock(); e && resumed)
                e->wake();
        });
        m_resumeWatch->start(kResumeCheckMs);
    });
    if (QCoreApplication* app = QCoreApplication::instance())
        m_quitObserver = QObject::connect(app, &QCoreApplication::aboutToQuit, app,
                                          [this] { persistBeforeExit(); });
}

std::shared_ptr<StatisticsEngine> QuorvelStatistics::engine() const {
    std::lock_guard lock(m_lock);
    return m_engine;
}

void QuorvelStatistics::post(std::function<void(StatisticsEngine&)> work) {
    std::shared_ptr<StatisticsEngine> e = engine();
    if (!e)
        return;
    std::weak_ptr<StatisticsEngine> weak = e;
    m_queue->post([weak, work = std::move(work)] {
        if (auto engine = weak.lock())
            work(*engine);
    });
}

void QuorvelStatistics::track(const std::string& name, const StatProperties& properties) {
    Date now = systemNow();
    post([name, properties, now](StatisticsEngine& e) { e.record(name, properties, now); });
}

void QuorvelStatistics::count(const std::string& feature) {
    m_counters->count(feature, systemNow());
}

void QuorvelStatistics::updatePermissions(
    const std::map<std::string, PermissionState>& permissions) {
    post([permissions](StatisticsEngine& e) { e.updatePermissions(permissions); });
}

void QuorvelStatistics::deleteCollectedData() {
    post([](StatisticsEngine& e) { e.deleteCollectedData(); });
}

void QuorvelStatistics::flush() {
    post([](StatisticsEngine& e) { e.requestFlush(); });
}

bool QuorvelStatistics::persistBeforeExit() {
    if (!engine())
        return true;
    auto done = std::make_shared<std::binary_semaphore>(0);
    post([done](StatisticsEngine& e) {
        e.rollFeatures();
        e.save();
        done->release();
    });
    return done->try_acquire_for(kExitWait);
}

} // namespace quorvel
