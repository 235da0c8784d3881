// Appends statistics events to a storage folder until it is killed. The crash
// test starts it, kills it at random moments and checks what is left.
//   kit_statistics_appender STORAGE SEED

#include <cstdio>
#include <random>
#include <string>

#include <QCoreApplication>
#include <QThread>

#include "quorvel-kit/statistics/serial_queue.h"
#include "quorvel-kit/statistics/statistics_engine.h"

int main(int argc, char** argv) {
    using namespace quorvel;
    if (argc < 3)
        return 2;
    QCoreApplication app(argc, argv);
    StatisticsConfiguration config;
    config.appID = "com.example.app";
    config.endpoint = QUrl("https://stats.example.invalid/"); // refused on the test channel
    EngineDependencies deps;
    deps.environment = ClientEnvironment{"linux", "1.0", "7", Channel::test, "6.1", "x86_64", "x"};
    deps.storageDirectory = std::filesystem::path(argv[1]);
    auto counters = std::make_shared<FeatureCounters>(TimeZone::fixed(0));
    SerialQueue queue("appender");
    std::shared_ptr<StatisticsEngine> engine;
    queue.sync([&] {
        engine = StatisticsEngine::create(config, deps, counters, true);
        engine->bootstrap();
    });
    std::printf("ready\n");
    std::fflush(stdout);
    std::mt19937 random(unsigned(std::stoul(argv[2])));
    for (int n = 0;; ++n) {
        std::string pad(random() % 1500, 'x');
        queue.post([&engine, n, pad] {
            engine->record("appended", {{"n", n}, {"pad", pad}}, systemNow());
        });
        counters->count("appending", systemNow());
        if (n % 20 == 0)
            QThread::usleep(500);
    }
}
