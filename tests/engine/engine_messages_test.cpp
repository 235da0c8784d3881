// The engine's messages and their clearing, the poll interval while checking,
// pause toggling, removal and a state folder that cannot be made: a real
// engine on a loopback-only session.

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include "tests/engine/fake_probe.h"
#include "tests/support/qt_app.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tests/support/temp_dir.h"
#include "tevro/core/storage.h"
#include "tevro/engine/torrent_engine.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class EngineMessages : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureQtApp();
        swarm::writeLoopbackEngineSettings(dir / "home", swarm::freeLoopbackPort(),
                                           dir / "downloads", adjust);
    }

    std::unique_ptr<TorrentEngine> start() {
        TorrentEngine::Options o;
        o.dataFolder = dir / "home";
        o.probe = probe;
        o.refreshTrackersAtStart = false;
        return std::make_unique<TorrentEngine>(o);
    }

    swarm::GeneratedTorrent makeTorrent(const std::string& name, std::int64_t size,
                                        std::uint32_t seed) {
        swarm::GeneratedTorrent::Options o;
        o.name = name;
        o.files = {{name + "/video.mkv", size}};
        o.seed = seed;
        return swarm::GeneratedTorrent::create(dir / ("seed-" + name), o);
    }

    test::TempDir dir;
    std::function<void(Json&)> adjust;
    std::shared_ptr<test::FakeProbe> probe = std::make_shared<test::FakeProbe>();
};

std::string toastOf(const TorrentEngine& engine) {
    return engine.toast().value_or("<none>");
}

TEST_F(EngineMessages, EventTextsAndTheirClearingAfterFiveSeconds) {
    auto engine = start();
    const struct {
        TorrentEvent event;
        const char* text;
    } cases[] = {
        {{"error", "a", "Фильм", "disk full: video.mkv"}, "«Фильм»: disk full: video.mkv"},
        {{"recheck", "a", "Фильм", ""}, "«Фильм»: проверка файлов"},
        {{"listen_failed", "", "", "0.0.0.0:6881 address in use"},
         "Порт недоступен: 0.0.0.0:6881 address in use"},
    };
    for (const auto& c : cases) {
        engine->handle(c.event);
        EXPECT_EQ(toastOf(*engine), c.text);
    }
    engine->handle({"metadata", "m", "Magnet", ""});
    EXPECT_EQ(engine->focusRequest(), "m");

    // A newer text outlives the older one's timer; it goes 5 s after it came.
    QElapsedTimer clock;
    clock.start();
    engine->show("первое");
    test::spinFor(2500ms);
    engine->show("второе");
    const auto firstShown = std::chrono::milliseconds(clock.elapsed());
    test::spinFor(5000ms - firstShown + 700ms);
    EXPECT_EQ(toastOf(*engine), "второе");
    ASSERT_TRUE(test::waitUntil([&] { return !engine->toast(); }, 5s));
    EXPECT_GT(clock.elapsed(), 5000);

    // The same text twice: gone 5 s after its first showing.
    clock.restart();
    engine->show("снова");
    test::spinFor(2500ms);
    engine->show("снова");
    ASSERT_TRUE(test::waitUntil([&] { return !engine->toast(); }, 5s));
    EXPECT_LT(clock.elapsed(), 7000);
}

// Checking polls four times a second; afterwards the interval is 1 s again.
TEST_F(EngineMessages, PollsFasterWhileChecking) {
    probe->pressure = 2; // one hashing thread: the check takes a while
    auto engine = start();
    EXPECT_EQ(engine->pollInterval(), 1.0);
    auto t = makeTorrent("Big", 256 << 20, 3);
    auto added = engine->addTorrent(t.torrentPath(), (dir / ("seed-Big")).string(), std::nullopt,
                                    false, false);
    ASSERT_TRUE(added) << added.error().message;
    const std::string id = added->id;
    auto seeding = [&] {
        auto s = engine->torrent(id);
        return s && s->seeding;
    };
    ASSERT_TRUE(test::waitUntil(seeding, 60s));
    bool sawFast = false;
    for (int attempt = 0; attempt < 5 && !sawFast; ++attempt) {
        engine->action("recheck", {id});
        sawFast = test::waitUntil(
            [&] {
                auto s = engine->torrent(id);
                return s && s->isChecking() && engine->pollInterval() == 0.25;
            },
            10s);
        ASSERT_TRUE(test::waitUntil(seeding, 60s));
    }
    EXPECT_TRUE(sawFast);
    EXPECT_TRUE(test::waitUntil([&] { return engine->pollInterval() == 1.0; }, 5s));
}

// A queued torrent (paused by the queue, still automatic) is paused for good
// by a toggle; a torrent the user paused is resumed.
TEST_F(EngineMessages, TogglePauseOfQueuedAndUserPausedTorrents) {
    adjust = [](Json& s) { s["activeDownloads"] = 1; };
    SetUp();
    auto engine = start();
    const std::string save = (dir / "downloads").string();
    auto a = engine->addTorrent(makeTorrent("One", 1 << 20, 1).torrentPath(), save, std::nullopt,
                                false, false);
    auto b = engine->addTorrent(makeTorrent("Two", 1 << 20, 2).torrentPath(), save, std::nullopt,
                                false, false);
    ASSERT_TRUE(a && b);
    // Nobody seeds them: one downloads, the other waits in the queue.
    std::string queued;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            for (const auto& id : {a->id, b->id}) {
                auto s = engine->torrent(id);
                if (s && s->paused && s->autoManaged)
                    queued = id;
            }
            return !queued.empty();
        },
        20s));

    engine->togglePause(queued);
    ASSERT_TRUE(test::waitUntil([&] {
        auto s = engine->torrent(queued);
        return s && s->paused && !s->autoManaged;
    }));
    engine->togglePause(queued);
    ASSERT_TRUE(test::waitUntil([&] {
        auto s = engine->torrent(queued);
        return s && s->autoManaged;
    }));
}

TEST_F(EngineMessages, RemovalDropsTheMetadataEntry) {
    auto engine = start();
    auto t = makeTorrent("Gone", 1 << 20, 4);
    auto added = engine->addTorrent(t.torrentPath(), (dir / "downloads").string(), std::nullopt,
                                    true, false);
    ASSERT_TRUE(added);
    engine->updateMeta(added->id, [](TorrentMeta& m) { m.lastPlayedFile = 0; });
    const fs::path saved = dir / "home" / Storage::kTorrentsFile;
    ASSERT_TRUE(test::waitUntil([&] { return Storage::loadMeta(saved).contains(added->id); }));

    engine->remove({added->id}, false);
    EXPECT_FALSE(engine->meta().contains(added->id));
    ASSERT_TRUE(test::waitUntil([&] { return !engine->torrent(added->id); }));
    EXPECT_TRUE(test::waitUntil([&] { return !Storage::loadMeta(saved).contains(added->id); }));
}

// Without its state folder the session would save nothing: the engine says so.
TEST_F(EngineMessages, AStateFolderThatCannotBeMadeIsReported) {
    test::writeAll(dir / "home" / "state", "a file where the folder belongs");
    auto engine = start();
    EXPECT_NE(toastOf(*engine).find("Не удалось создать папку"), std::string::npos)
        << toastOf(*engine);
}

} // namespace
