#include "tevro/engine/torrent_engine.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/session.hpp>
#include <libtorrent/torrent_status.hpp>

#include <QSignalSpy>

#include <gtest/gtest.h>

#include "tests/engine/fake_probe.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/qt_app.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/temp_dir.h"
#include "tevro/bridge/bridge_string.h"
#include "tevro/bridge/torrent_bridge.h"
#include "tevro/core/key_value_text.h"
#include "tevro/core/storage.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureQtApp();
        m_port = swarm::freeLoopbackPort();
        swarm::writeLoopbackEngineSettings(dir / "home", m_port, dir / "downloads");
    }

    TorrentEngine::Options options() {
        TorrentEngine::Options o;
        o.dataFolder = dir / "home";
        o.probe = probe;
        o.refreshTrackersAtStart = false;
        o.reveal = [this](const fs::path& p, bool select) { revealed.emplace_back(p, select); };
        return o;
    }

    std::unique_ptr<TorrentEngine> start() { return std::make_unique<TorrentEngine>(options()); }

    swarm::GeneratedTorrent makeTorrent(const std::string& name, std::int64_t size,
                                        std::uint32_t seed = 1) {
        swarm::GeneratedTorrent::Options o;
        o.name = name;
        o.files = {{name + "/video.mkv", size}, {name + "/notes.txt", 1000}};
        o.seed = seed;
        return swarm::GeneratedTorrent::create(dir / ("seed-" + name), o);
    }

    bool waitFor(TorrentEngine& e, const std::string& id,
                 const std::function<bool(const TorrentStatus&)>& condition,
                 std::chrono::milliseconds timeout = 30s, const std::function<void()>& tick = {}) {
        return test::waitUntil(
            [&] {
                if (tick)
                    tick();
                auto t = e.torrent(id);
                return t && condition(*t);
            },
            timeout);
    }

    test::TempDir dir;
    int m_port = 0;
    std::shared_ptr<test::FakeProbe> probe = std::make_shared<test::FakeProbe>();
    std::vector<std::pair<fs::path, bool>> revealed;
};

} // namespace

TEST_F(EngineTest, AddsByFileAndMagnetAndDownloads) {
    auto engine = start();
    swarm::Seeder seeder;
    auto a = makeTorrent("Alpha", 3 << 20, 1);
    auto b = makeTorrent("Beta", 2 << 20, 2);
    seeder.seed(a);
    seeder.seed(b);
    std::string save = (dir / "downloads").string();

    QSignalSpy polled(engine.get(), &TorrentEngine::polled);
    auto added = engine->addTorrent(a.torrentPath(), save, std::nullopt, false, false);
    ASSERT_TRUE(added) << added.error().message;
    EXPECT_EQ(added->id, a.expectedId());
    EXPECT_FALSE(added->duplicate);
    // The add polls at once: the row shows without waiting for the timer.
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(a.expectedId()).has_value(); }));
    EXPECT_LE(polled.count(), 2); // a start-up poll in flight may come first

    auto again = engine->addTorrent(a.torrentPath(), save, std::nullopt, false, false);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->duplicate);
    EXPECT_EQ(again->id, a.expectedId());

    auto magnet = engine->addMagnet(b.magnet(), save, false, false, false);
    ASSERT_TRUE(magnet) << magnet.error().message;

    auto bad = engine->addTorrent(dir / "missing.torrent", save, std::nullopt, false, false);
    ASSERT_FALSE(bad);
    EXPECT_FALSE(bad.error().message.empty());
    EXPECT_EQ(engine->addTorrent(a.torrentPath(), "/tmp/a\nb", std::nullopt, false, false)
                  .error()
                  .message,
              "Путь сохранения не может содержать перевод строки");

    auto connect = [&] {
        seeder.connect(a, m_port);
        seeder.connect(b, m_port);
    };
    ASSERT_TRUE(waitFor(
        *engine, magnet->id, [](auto& t) { return t.seeding || t.finished; }, 60s, connect));
    // Metadata from the swarm asks the window to show the torrent.
    EXPECT_EQ(engine->focusRequest(), magnet->id);
    ASSERT_TRUE(waitFor(
        *engine, a.expectedId(), [](auto& t) { return t.seeding || t.finished; }, 60s, connect));
    EXPECT_EQ(test::readAll(a.filePath(save, 0)), a.expectedBytes(0));
    EXPECT_EQ(test::readAll(b.filePath(save, 0)), b.expectedBytes(0));
    // "finished" events become messages.
    EXPECT_TRUE(test::waitUntil(
        [&] { return engine->toast() && engine->toast()->find("скачан") != std::string::npos; }));

    std::vector<TorrentFile> files;
    bool got = false;
    engine->files(a.expectedId(), [&](auto f) { files = std::move(f), got = true; });
    ASSERT_TRUE(test::waitUntil([&] { return got; }));
    std::erase_if(files, [](const TorrentFile& f) { return f.pad; });
    ASSERT_EQ(files.size(), 2u);
    PieceMap map;
    got = false;
    engine->pieceMap(a.expectedId(), [&](PieceMap m) { map = std::move(m), got = true; });
    ASSERT_TRUE(test::waitUntil([&] { return got; }));
    EXPECT_EQ(map.summary(std::nullopt).rfind("Скачано: ", 0), 0u);

    engine->reveal(a.expectedId(), files[0]);
    ASSERT_EQ(revealed.size(), 1u);
    EXPECT_TRUE(revealed[0].second);
    EXPECT_EQ(revealed[0].first, a.filePath(save, 0));
}

TEST_F(EngineTest, PublishesOnlyChangesAndPushesSettingsOnce) {
    auto engine = start();
    auto a = makeTorrent("Quiet", 1 << 20);
    auto added = engine->addTorrent(a.torrentPath(), (dir / "downloads").string(), std::nullopt,
                                    true, false);
    ASSERT_TRUE(added);
    ASSERT_TRUE(waitFor(*engine, added->id, [](auto& t) { return t.paused && !t.isChecking(); }));

    // A paused torrent that nothing touches: polls publish nothing new.
    QSignalSpy changed(engine.get(), &TorrentEngine::torrentsChanged);
    QSignalSpy polled(engine.get(), &TorrentEngine::polled);
    for (int i = 0; i < 3; ++i) {
        int before = polled.count();
        engine->poll();
        ASSERT_TRUE(test::waitUntil([&] { return polled.count() > before; }));
    }
    EXPECT_EQ(changed.count(), 0);
    engine->action("sequential_on", {added->id});
    ASSERT_TRUE(waitFor(*engine, added->id, [](auto& t) { return t.sequential; }));
    EXPECT_EQ(changed.count(), 1);

    // Settings: an equal value does nothing; an engine setting pushes once.
    QSignalSpy pushed(engine.get(), &TorrentEngine::settingsPushed);
    QSignalSpy settingsChanged(engine.get(), &TorrentEngine::settingsChanged);
    fs::path file = dir / "home" / Storage::kSettingsFile;
    struct stat before {};
    stat(file.c_str(), &before);
    engine->setSettings(AppSettings(engine->settings()));
    EXPECT_EQ(pushed.count(), 0);
    EXPECT_EQ(settingsChanged.count(), 0);

    AppSettings s = engine->settings();
    s.downloadLimitKiB = 300;
    engine->setSettings(s);
    EXPECT_EQ(pushed.count(), 1);
    engine->setSettings(s);
    EXPECT_EQ(pushed.count(), 1);
    std::string diagnostics;
    engine->networkDiagnostics([&](std::string d) { diagnostics = std::move(d); });
    ASSERT_TRUE(test::waitUntil([&] { return !diagnostics.empty(); }));
    EXPECT_EQ(Json::parse(diagnostics)["settings"]["download_rate_limit"], 300 * 1024);

    // A burst of player-only changes: no push, one write after the last change.
    std::set<ino_t> inodes;
    for (int i = 0; i < 5; ++i) {
        s.audioLanguages = "eng" + std::to_string(i);
        engine->setSettings(s);
        test::spinFor(100ms);
    }
    EXPECT_EQ(pushed.count(), 1);
    struct stat st {};
    ASSERT_TRUE(test::waitUntil([&] {
        stat(file.c_str(), &st);
        inodes.insert(st.st_ino);
        return Storage::loadSettings(file).audioLanguages == "eng4";
    }));
    test::spinFor(800ms);
    stat(file.c_str(), &st);
    inodes.insert(st.st_ino);
    inodes.erase(before.st_ino);
    EXPECT_EQ(inodes.size(), 1u) << "settings.json written more than once";
}

TEST_F(EngineTest, RestartKeepsTorrentsSettingsAndMetadata) {
    auto a = makeTorrent("Keep", 1 << 20);
    std::string id;
    {
        auto engine = start();
        auto added = engine->addTorrent(a.torrentPath(), (dir / "downloads").string(),
                                        std::vector<int>{4, 0, 0}, true, false);
        ASSERT_TRUE(added);
        id = added->id;
        engine->updateMeta(id, [](TorrentMeta& m) { m.positions[0] = 42.5; });
        AppSettings s = engine->settings();
        s.ratioLimit = 3;
        engine->setSettings(s);
        ASSERT_TRUE(waitFor(*engine, id, [](auto&) { return true; }));
        engine->shutdown();
        engine->shutdown(); // once is enough
        EXPECT_TRUE(fs::exists(dir / "home" / Storage::kTorrentsFile));
    }
    auto engine = start();
    ASSERT_TRUE(waitFor(*engine, id, [](auto& t) { return t.paused; }));
    EXPECT_EQ(engine->settings().ratioLimit, 3);
    EXPECT_EQ(engine->meta().at(id).positions.at(0), 42.5);
    std::vector<TorrentFile> files;
    bool got = false;
    engine->files(id, [&](auto f) { files = std::move(f), got = true; });
    ASSERT_TRUE(test::waitUntil([&] { return got; }));
    std::erase_if(files, [](const TorrentFile& f) { return f.pad; });
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].prio, 0);
}

TEST_F(EngineTest, SeedingLimitsPauseUnlessIgnored) {
    // The engine seeds two complete torrents; a plain session downloads them.
    auto limited = makeTorrent("Limited", 2 << 20, 3);
    auto exempt = makeTorrent("Exempt", 2 << 20, 4);
    auto engine = start();
    AppSettings s = engine->settings();
    s.ratioLimit = 0.5;
    engine->setSettings(s);
    std::string ids[2];
    const swarm::GeneratedTorrent* torrents[2] = {&limited, &exempt};
    for (int i = 0; i < 2; ++i) {
        auto added =
            engine->addTorrent(torrents[i]->torrentPath(), torrents[i]->savePath().string(),
                               std::nullopt, false, false);
        ASSERT_TRUE(added);
        ids[i] = added->id;
    }
    engine->updateMeta(ids[1], [](TorrentMeta& m) { m.ignoreSeedLimits = true; });
    for (const auto& id : ids)
        ASSERT_TRUE(waitFor(*engine, id, [](auto& t) { return t.seeding; }));

    lt::settings_pack pack;
    for (auto& [k, v] : parseKeyValueText(swarm::loopbackSettingsText()))
        if (int n = lt::setting_by_name(k); n >= 0)
            (n & lt::settings_pack::type_mask) == lt::settings_pack::string_type_base
                ? pack.set_str(n, v)
                : pack.set_int(n, std::atoi(v.c_str()));
    pack.set_bool(lt::settings_pack::enable_dht, false);
    pack.set_bool(lt::settings_pack::enable_lsd, false);
    pack.set_bool(lt::settings_pack::enable_upnp, false);
    pack.set_bool(lt::settings_pack::enable_natpmp, false);
    lt::session downloader(pack);
    std::vector<lt::torrent_handle> handles;
    for (auto* t : torrents) {
        lt::add_torrent_params p;
        p.ti = std::make_shared<lt::torrent_info>(*t->info());
        p.save_path = (dir / "leech").string();
        handles.push_back(downloader.add_torrent(p));
    }
    auto connect = [&] {
        for (auto& h : handles)
            if (h.status().num_peers == 0)
                h.connect_peer(
                    {lt::make_address("127.0.0.1"), static_cast<unsigned short>(m_port)});
    };
    ASSERT_TRUE(waitFor(
        *engine, ids[0], [](auto& t) { return t.paused; }, 60s, connect));
    EXPECT_EQ(engine->toast(), "Раздача «Limited» остановлена по лимиту");
    ASSERT_TRUE(waitFor(
        *engine, ids[1], [](auto& t) { return t.uploaded >= t.totalDone; }, 60s, connect));
    EXPECT_FALSE(engine->torrent(ids[1])->paused);

    // An explicit resume of a limited torrent exempts it from then on.
    engine->resume({ids[0]});
    EXPECT_TRUE(engine->meta().at(ids[0]).ignoreSeedLimits);
    ASSERT_TRUE(waitFor(*engine, ids[0], [](auto& t) { return !t.paused; }));
}

TEST_F(EngineTest, TrackerListRefreshFromLoopbackMirrors) {
    test::LoopbackHttpServer server;
    QByteArray many;
    for (int i = 0; i < 120; ++i)
        many += "udp://tracker" + QByteArray::number(i) + ".invalid:6969/announce\n\n";
    server.route("/down", {503, "busy", false});
    server.route("/endless", {200, {}, true});
    server.route("/best.txt", {200, many, false});
    auto o = options();
    o.trackerSources = {server.url("/down"), server.url("/endless"), server.url("/best.txt")};
    TorrentEngine engine(o);
    AppSettings s = engine.settings();
    s.autoTrackers = true;
    engine.setSettings(s);
    engine.refreshTrackers(true);
    EXPECT_EQ(engine.trackerFetchStatus(), "Обновление…");
    ASSERT_TRUE(test::waitUntil([&] { return engine.trackerFetchStatus() != "Обновление…"; }, 60s));
    EXPECT_EQ(engine.trackerFetchStatus(), "80 · 127.0.0.1");
    EXPECT_EQ(engine.settings().fetchedTrackers.size(), 80u);
    EXPECT_TRUE(engine.settings().trackersFetchedAt);
    // Within a day nothing is fetched again unless forced.
    int before = server.requests("/best.txt");
    engine.refreshTrackers(false);
    test::spinFor(200ms);
    EXPECT_EQ(server.requests("/best.txt"), before);

    engine.shutdown();

    // Every source failing keeps the stored list.
    o.trackerSources = {server.url("/down")};
    TorrentEngine failing(o);
    failing.refreshTrackers(true);
    ASSERT_TRUE(test::waitUntil([&] {
        return failing.trackerFetchStatus() == "Источники недоступны";
    })) << failing.trackerFetchStatus().value_or("(none)");
    EXPECT_EQ(failing.settings().fetchedTrackers.size(), 80u);
}

TEST_F(EngineTest, CheckingResourcesFollowTheMachine) {
    auto engine = start();
    EXPECT_EQ(engine->checkingResources(), (CheckingResources{16, 8192}));
    EXPECT_NE(engine->appliedSettings().find("hashing_threads=16\nchecking_mem_usage=8192"),
              std::string::npos);
    QSignalSpy pushed(engine.get(), &TorrentEngine::settingsPushed);

    engine->setCheckingPlaybackActive(true);
    EXPECT_EQ(engine->checkingResources(), (CheckingResources{2, 2048}));
    EXPECT_EQ(pushed.count(), 1);

    probe->pressure = 2; // the kernel reports heavy memory pressure
    ASSERT_TRUE(test::waitUntil([&] {
        return engine->checkingResources() == CheckingResources{1, 1024};
    }));
    std::string diagnostics;
    engine->networkDiagnostics([&](std::string d) { diagnostics = std::move(d); });
    ASSERT_TRUE(test::waitUntil([&] { return !diagnostics.empty(); }));
    EXPECT_EQ(Json::parse(diagnostics)["settings"]["hashing_threads"], 1);

    // Room again: the rise waits five seconds of steady room.
    probe->pressure = 0;
    ASSERT_TRUE(test::waitUntil([&] { return engine->memoryPressure() == 0; }));
    engine->setCheckingPlaybackActive(false);
    probe->clock += 2;
    engine->updateCheckingResources(true);
    EXPECT_EQ(engine->checkingResources(), (CheckingResources{1, 1024}));
    probe->clock += 6;
    engine->updateCheckingResources(true);
    EXPECT_EQ(engine->checkingResources(), (CheckingResources{16, 8192}));
}

// With nothing being checked the machine is looked at less often, but
// still: low-power mode reaches the resources without any check running.
TEST_F(EngineTest, IdleCheckingResourcesStillFollowTheMachine) {
    auto engine = start();
    ASSERT_EQ(engine->checkingResources(), (CheckingResources{16, 8192}));
    probe->power = true;
    probe->clock += 11;
    engine->poll();
    EXPECT_NE(engine->checkingResources(), (CheckingResources{16, 8192}));
}

TEST_F(EngineTest, StateSaveRunsOnTheMonotonicClock) {
    auto engine = start();
    fs::path state = dir / "home/state/session.state";
    fs::remove(state);
    probe->clock += 61; // the wall clock plays no part
    engine->poll();
    ASSERT_TRUE(test::waitUntil([&] { return fs::exists(state); }));
}

TEST_F(EngineTest, PollsCoalesceWhileOneIsInFlight) {
    auto engine = start();
    QSignalSpy polled(engine.get(), &TorrentEngine::polled);
    test::waitUntil([&] { return polled.count() >= 1; });
    int before = polled.count();
    for (int i = 0; i < 100; ++i)
        engine->poll();
    test::spinFor(500ms);
    EXPECT_LE(polled.count() - before, 3);
}

TEST_F(EngineTest, ShutdownWithABlockedReader) {
    auto engine = start();
    auto a = makeTorrent("Blocked", 1 << 20);
    auto added = engine->addTorrent(a.torrentPath(), (dir / "downloads").string(), std::nullopt,
                                    false, false);
    ASSERT_TRUE(added);
    engine->updateMeta(added->id, [](TorrentMeta& m) { m.lastPlayedFile = 0; });
    tb_reader* reader = tb_reader_open(engine->session(), added->id.c_str(), 0);
    ASSERT_NE(reader, nullptr);
    std::atomic<std::int64_t> result{1};
    std::thread blocked([&] {
        char buffer[4096];
        result = tb_reader_read(reader, buffer, sizeof buffer); // no seeder: blocks
    });
    test::spinFor(300ms);
    engine->shutdown();
    blocked.join();
    EXPECT_EQ(result.load(), -1);
    tb_reader_close(reader);
    EXPECT_TRUE(Storage::loadMeta(dir / "home" / Storage::kTorrentsFile).contains(added->id));
    EXPECT_TRUE(fs::exists(dir / "home" / Storage::kSettingsFile));
}

TEST_F(EngineTest, SeedingLimitRule) {
    auto engine = start();
    struct Case {
        double ratio;
        std::int64_t minutes, totalDone, downloaded, uploaded, seedingTime;
        bool reached;
    } cases[] = {
        {1.0, 0, 0, 0, 10ll << 30, 0, false}, // nothing downloaded: time alone decides
        {2.0, 0, 1000, 600, 2000, 0, true},
        {2.0, 0, 1000, 600, 1999, 0, false},
        {0.0, 30, 1000, 0, 0, 1800, true},
        {0.0, 30, 1000, 0, 0, 1799, false},
        {0.0, INT64_MAX / 2, 1000, 0, 0, INT64_MAX, false}, // overflowing limit never reached
    };
    for (const auto& c : cases) {
        AppSettings s = engine->settings();
        s.ratioLimit = c.ratio;
        s.seedTimeLimitMinutes = c.minutes;
        engine->setSettings(s);
        TorrentStatus t;
        t.totalDone = c.totalDone;
        t.downloaded = c.downloaded;
        t.uploaded = c.uploaded;
        t.seedingTime = c.seedingTime;
        EXPECT_EQ(engine->settingsLimitReached(t), c.reached)
            << c.ratio << " " << c.minutes << " " << c.uploaded << " " << c.seedingTime;
    }
}

// The published list follows the bridge poll after poll: a change to one
// torrent of several reaches that torrent's record alone, and after adds and
// removals every record is the bridge's own row, newest added first.
TEST_F(EngineTest, PublishedListFollowsChangesAddsAndRemovals) {
    auto engine = start();
    auto add = [&](int n) {
        char hex[41];
        std::snprintf(hex, sizeof hex, "%040x", n + 0x4242);
        auto added = engine->addMagnet(std::string("magnet:?xt=urn:btih:") + hex + "&dn=T" +
                                           std::to_string(n),
                                       (dir / "downloads").string(), false, true, false);
        EXPECT_TRUE(added);
        return added ? added->id : std::string();
    };
    // The bridge's report now, in display order.
    auto report = [&] {
        auto text = takeBridgeString(tb_status_json(engine->session()));
        auto snapshot = StatusSnapshot::decode(text.value_or(""));
        EXPECT_TRUE(snapshot);
        auto rows = snapshot ? snapshot->torrents : std::vector<TorrentStatus>{};
        std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
            return a.added != b.added ? a.added > b.added : a.name < b.name;
        });
        return rows;
    };
    auto published = [&](size_t count) {
        return test::waitUntil(
            [&] {
                engine->poll();
                test::spinFor(50ms);
                return engine->torrents().size() == count && engine->torrents() == report();
            },
            20s);
    };

    std::vector<std::string> ids;
    for (int i = 0; i < 5; ++i)
        ids.push_back(add(i));
    ASSERT_TRUE(published(5));
    auto before = engine->torrents();

    QSignalSpy changed(engine.get(), &TorrentEngine::torrentsChanged);
    engine->action("sequential_on", {ids[2]});
    ASSERT_TRUE(waitFor(*engine, ids[2], [](auto& t) { return t.sequential; }));
    EXPECT_EQ(changed.count(), 1);
    const auto& after = engine->torrents();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].id, before[i].id);
        EXPECT_EQ(after[i] == before[i], after[i].id != ids[2]) << after[i].name;
    }

    engine->remove({ids[0], ids[3]}, false);
    ASSERT_TRUE(published(3));
    ids.push_back(add(7));
    ASSERT_TRUE(published(4));
    EXPECT_FALSE(engine->torrent(ids[0]));
    ASSERT_TRUE(engine->torrent(ids[2]));
    EXPECT_TRUE(engine->torrent(ids[2])->sequential);
    ASSERT_TRUE(engine->torrent(ids.back()));
    EXPECT_EQ(engine->torrent(ids.back())->name, "T7");
}

// The shown rows ask for their piece maps every two seconds: a seed's map
// is answered from what the engine has while its row stays, and asked of
// the bridge again once the row changed (here a check that found a piece
// damaged).
TEST_F(EngineTest, ASeedsPieceMapIsKeptUntilItsRowChanges) {
    auto engine = start();
    auto a = makeTorrent("Gamma", 1 << 20, 3);
    auto added =
        engine->addTorrent(a.torrentPath(), a.savePath().string(), std::nullopt, false, false);
    ASSERT_TRUE(added) << added.error().message;
    const std::string id = added->id;
    ASSERT_TRUE(waitFor(*engine, id, [](auto& t) { return t.seeding; }));
    struct Answer {
        bool atOnce = false;
        PieceMap map;
    };
    auto ask = [&] {
        Answer a;
        bool got = false;
        engine->pieceMap(id, [&](PieceMap m) { a.map = std::move(m), got = true; });
        a.atOnce = got;
        EXPECT_TRUE(test::waitUntil([&] { return got; }));
        return a;
    };
    auto all = [](const PieceMap& m, std::uint8_t c) {
        return !m.bytes.empty() && std::ranges::all_of(m.bytes, [c](auto b) { return b == c; });
    };

    Answer first = ask();
    EXPECT_FALSE(first.atOnce);
    EXPECT_TRUE(all(first.map, '1'));
    // Right after the check the row still moves a little: once it stays,
    // the map comes at once, however old.
    Answer kept;
    for (int i = 0; i < 20 && !kept.atOnce; ++i) {
        probe->clock += 30;
        kept = ask();
        test::spinFor(200ms);
    }
    EXPECT_TRUE(kept.atOnce);
    EXPECT_EQ(kept.map, first.map);

    {
        std::fstream f(a.filePath(a.savePath(), 0),
                       std::ios::in | std::ios::out | std::ios::binary);
        f.write("damaged", 7);
    }
    engine->action("recheck", {id});
    ASSERT_TRUE(waitFor(*engine, id, [](auto& t) {
        return t.state != "checking" && !t.seeding && t.progress < 1;
    }));
    probe->clock += 30;
    Answer after = ask();
    EXPECT_FALSE(after.atOnce);
    ASSERT_FALSE(after.map.bytes.empty());
    EXPECT_EQ(after.map.bytes.front(), '0');
}
