#pragma once

// One statistics engine on its own queue over a temporary storage folder, a
// settable clock and the real transport, for the kit's tests.

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>

#include "quorvel-kit/statistics/file_identity_store.h"
#include "quorvel-kit/statistics/serial_queue.h"
#include "quorvel-kit/statistics/statistics_engine.h"
#include "quorvel-kit/statistics/url_session_transport.h"
#include "tests/support/qt_app.h"

namespace quorvel::test {

// 2024-05-01 09:30:00.250 UTC.
inline constexpr Date kStart = 1714555800.25;

struct TestClock {
    std::atomic<double> now{kStart};
    void advance(double seconds) { now = now + seconds; }
};

inline ClientEnvironment testEnvironment(const std::string& version = "1.0") {
    return {"linux", version, "7", Channel::test, "6.1", "x86_64", "mac-other"};
}

struct HarnessOptions {
    std::string endpoint; // empty: none
    std::string version = "1.0";
    bool enabled = true;
    bool timers = false;
    double firstUploadDelay = 60;
    TimeZone zone = TimeZone::fixed(0);
    std::chrono::milliseconds transportTimeout{std::chrono::seconds(20)};
};

class EngineHarness {
public:
    EngineHarness(std::filesystem::path storage, HarnessOptions options = {})
        : m_storage(std::move(storage)) {
        tevro::test::ensureQtApp();
        m_queue = std::make_unique<SerialQueue>("test.statistics");
        counters = std::make_shared<FeatureCounters>(options.zone);
        StatisticsConfiguration config;
        config.appID = "com.example.app";
        config.endpoint = QUrl(QString::fromStdString(
            options.endpoint.empty() ? "https://stats.example.invalid/" : options.endpoint));
        config.localization = [] { return std::string("ru"); };
        config.launchAtLogin = [] { return true; };
        EngineDependencies deps;
        deps.environment = testEnvironment(options.version);
        deps.storageDirectory = m_storage;
        deps.transport = std::make_shared<URLSessionTransport>(options.transportTimeout);
        deps.now = [c = clock] { return c->now.load(); };
        deps.timeZone = options.zone;
        deps.timers = options.timers;
        deps.firstUploadDelay = options.firstUploadDelay;
        m_queue->sync(
            [&] { engine = StatisticsEngine::create(config, deps, counters, options.enabled); });
        counters->setEnabled(options.enabled);
    }
    ~EngineHarness() {
        m_queue->sync([this] { engine.reset(); });
    }

    // Runs on the engine's queue and waits.
    void run(const std::function<void(StatisticsEngine&)>& work) {
        m_queue->sync([&] { work(*engine); });
    }
    template <typename T> T get(const std::function<T(StatisticsEngine&)>& read) {
        T value{};
        m_queue->sync([&] { value = read(*engine); });
        return value;
    }
    // Starts one attempt and waits (serving the loopback service) until it ends.
    bool uploadAndWait(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        int before = get<int>([](StatisticsEngine& e) { return e.finishedUploads(); });
        run([](StatisticsEngine& e) { e.upload(); });
        return tevro::test::waitUntil(
            [&] {
                return get<int>([](StatisticsEngine& e) { return e.finishedUploads(); }) > before;
            },
            timeout);
    }
    KitState state() {
        return get<KitState>([](StatisticsEngine& e) { return e.state(); });
    }
    std::vector<nlohmann::json> queued() {
        return get<std::vector<nlohmann::json>>(
            [](StatisticsEngine& e) { return e.queuedEvents(); });
    }

    std::shared_ptr<TestClock> clock = std::make_shared<TestClock>();
    std::shared_ptr<FeatureCounters> counters;
    std::shared_ptr<StatisticsEngine> engine;

private:
    std::filesystem::path m_storage;
    std::unique_ptr<SerialQueue> m_queue;
};

} // namespace quorvel::test
