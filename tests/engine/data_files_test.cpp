// The engine's data folder under a full disk and with damaged files: every
// failed write is said and retried until it succeeds, an add that cannot be
// made to last adds nothing, damaged files are set aside and told once at
// start, and a stream of settings changes is saved every two seconds.

#include <QSignalSpy>

#include <gtest/gtest.h>

#include "tests/engine/fake_probe.h"
#include "tests/support/file_size_limit.h"
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

class DataFiles : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureQtApp();
        swarm::writeLoopbackEngineSettings(home, swarm::freeLoopbackPort(), dir / "downloads");
    }

    std::unique_ptr<TorrentEngine> start() {
        TorrentEngine::Options o;
        o.dataFolder = home;
        o.probe = std::make_shared<test::FakeProbe>();
        o.refreshTrackersAtStart = false;
        return std::make_unique<TorrentEngine>(o);
    }

    swarm::GeneratedTorrent makeTorrent(const std::string& name, std::uint32_t seed) {
        swarm::GeneratedTorrent::Options o;
        o.name = name;
        o.files = {{name + "/video.mkv", 300'000}};
        o.seed = seed;
        return swarm::GeneratedTorrent::create(dir / ("seed-" + name), o);
    }

    // Every message the engine shows from now on.
    void recordMessages(TorrentEngine& engine) {
        QObject::connect(&engine, &TorrentEngine::toastChanged, [this, &engine] {
            if (engine.toast())
                messages.push_back(*engine.toast());
        });
    }
    int messagesWith(const std::string& part) const {
        return int(std::count_if(messages.begin(), messages.end(), [&](const std::string& m) {
            return m.find(part) != std::string::npos;
        }));
    }

    std::vector<fs::path> setAside(const fs::path& folder) const {
        std::vector<fs::path> out;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename().string().find(".corrupt-") != std::string::npos)
                out.push_back(entry.path());
        return out;
    }

    test::TempDir dir;
    fs::path home = dir / "home";
    std::vector<std::string> messages;
};

// With no room left, nothing is acknowledged that is not on disk: the add
// fails and adds nothing, every failed write is told once, and all that was
// left unsaved reaches the disk once there is room again.
TEST_F(DataFiles, AFullDataFolderLosesNothingAndSaysSo) {
    auto kept = makeTorrent("Kept", 1);
    auto refused = makeTorrent("Refused", 2);
    std::string save = (dir / "downloads").string();
    std::string keptID;
    {
        auto engine = start();
        recordMessages(*engine);
        auto added = engine->addTorrent(kept.torrentPath(), save, std::nullopt, true, false);
        ASSERT_TRUE(added) << added.error().message;
        keptID = added->id;
        ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(keptID).has_value(); }));

        test::FileSizeLimit full;
        AppSettings s = engine->settings();
        s.downloadLimitKiB = 777;
        auto committed = engine->commitSettings(s);
        ASSERT_FALSE(committed);
        EXPECT_NE(committed.error().message.find("settings.json"), std::string::npos);
        EXPECT_EQ(engine->settings().downloadLimitKiB, 777) << "the change is in force";

        auto failed = engine->addTorrent(refused.torrentPath(), save, std::nullopt, true, false);
        ASSERT_FALSE(failed);
        EXPECT_NE(failed.error().message.find("Не удалось сохранить торрент"), std::string::npos)
            << failed.error().message;
        engine->updateMeta(keptID, [](TorrentMeta& m) { m.positions[0] = 61.5; });
        engine->pause({keptID});
        engine->resume({keptID});
        EXPECT_TRUE(test::waitUntil(
            [&] {
                return messagesWith("«torrents.json»") >= 1 &&
                       messagesWith("не удалось сохранить состояние торрента") >= 1;
            },
            20s))
            << ::testing::PrintToString(messages);
        EXPECT_FALSE(engine->torrent(refused.expectedId()));
        EXPECT_FALSE(fs::exists(home / "state" / "resume" / (refused.expectedId() + ".resume")));
        EXPECT_EQ(messagesWith("«settings.json»"), 1);
        // Retried every few seconds, told once.
        test::spinFor(5s);
        EXPECT_EQ(messagesWith("Не удалось сохранить «torrents.json»"), 1)
            << ::testing::PrintToString(messages);
        EXPECT_EQ(engine->unsavedFiles(),
                  (std::vector<std::string>{"settings.json", "torrents.json"}));

        full.lift();
        EXPECT_TRUE(test::waitUntil([&] { return engine->unsavedFiles().empty(); }, 20s));
        EXPECT_EQ(Storage::loadSettings(home / Storage::kSettingsFile).downloadLimitKiB, 777);
        EXPECT_EQ(Storage::loadMeta(home / Storage::kTorrentsFile).at(keptID).positions.at(0),
                  61.5);
        EXPECT_GE(messagesWith("сохранён"), 2);
    }
    auto engine = start();
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(keptID).has_value(); }));
    EXPECT_FALSE(engine->torrent(refused.expectedId()));
    EXPECT_EQ(engine->settings().downloadLimitKiB, 777);
}

// Damaged files of every kind at one start: the app starts, keeps what could
// be read, sets the rest aside and says so in one message.
TEST_F(DataFiles, DamagedFilesAreSetAsideAndToldOnceAtStart) {
    auto whole = makeTorrent("Whole", 1);
    auto broken = makeTorrent("Broken Name", 2);
    std::string save = (dir / "downloads").string();
    {
        auto engine = start();
        for (auto* t : {&whole, &broken})
            ASSERT_TRUE(engine->addTorrent(t->torrentPath(), save, std::nullopt, true, false));
        engine->updateMeta(whole.expectedId(), [](TorrentMeta& m) { m.positions[0] = 5; });
        engine->shutdown();
    }
    // A resume file cut short, a session state that is not one, settings
    // with a wrongly typed value, and one torrents.json entry of two broken.
    fs::path resume = home / "state" / "resume" / (broken.expectedId() + ".resume");
    std::string resumeBytes = test::readAll(resume);
    test::writeAll(resume, resumeBytes.substr(0, resumeBytes.size() / 2));
    test::writeAll(home / "state" / "session.state", "not bencode");
    Json settings = Json::parse(test::readAll(home / Storage::kSettingsFile));
    settings["uploadLimitKiB"] = "lots";
    test::writeAll(home / Storage::kSettingsFile, settings.dump());
    Json meta = Json::parse(test::readAll(home / Storage::kTorrentsFile));
    meta["0000"] = {{"positions", 3}};
    test::writeAll(home / Storage::kTorrentsFile, meta.dump());

    auto engine = start();
    recordMessages(*engine);
    ASSERT_TRUE(test::waitUntil([&] { return !messages.empty(); }, 20s));
    const std::string& told = messages.front();
    for (const char* part : {"«settings.json»", "«torrents.json»", "«Broken Name»",
                             "«session.state»", "пропущено записей: 1"})
        EXPECT_NE(told.find(part), std::string::npos) << part << " in " << told;
    test::spinFor(1s);
    EXPECT_EQ(messagesWith("Повреждённые или недоступные файлы"), 1);

    EXPECT_TRUE(engine->torrent(whole.expectedId()));
    EXPECT_FALSE(engine->torrent(broken.expectedId()));
    EXPECT_EQ(engine->meta().at(whole.expectedId()).positions.at(0), 5);
    EXPECT_EQ(setAside(home).size(), 2u);
    ASSERT_EQ(setAside(home / "state" / "resume").size(), 1u);
    EXPECT_EQ(test::readAll(setAside(home / "state" / "resume")[0]),
              resumeBytes.substr(0, resumeBytes.size() / 2));
    ASSERT_EQ(setAside(home / "state").size(), 1u);
    EXPECT_EQ(test::readAll(setAside(home / "state")[0]), "not bencode");
    // The good entry is on disk again at once.
    EXPECT_TRUE(Storage::loadMeta(home / Storage::kTorrentsFile).contains(whole.expectedId()));
}

// A settings file that cannot be opened is never replaced: the run goes on
// with defaults and a change says it could not be saved.
TEST_F(DataFiles, AnUnreadableSettingsFileIsLeftAlone) {
    std::string before = test::readAll(home / Storage::kSettingsFile);
    // A folder where the file belongs cannot be read as one, by root either.
    fs::rename(home / Storage::kSettingsFile, dir / "saved.json");
    fs::create_directories(home / Storage::kSettingsFile / "inside");
    auto engine = start();
    recordMessages(*engine);
    EXPECT_EQ(engine->settingsCheck().result, FileCheck::Result::unreadable);
    ASSERT_TRUE(test::waitUntil([&] { return messagesWith("не читается") == 1; }, 20s));
    AppSettings s = engine->settings();
    s.uploadLimitKiB = 55;
    auto committed = engine->commitSettings(s);
    ASSERT_FALSE(committed);
    EXPECT_NE(committed.error().message.find("не перезаписывается"), std::string::npos);
    engine->shutdown();
    EXPECT_TRUE(fs::is_directory(home / Storage::kSettingsFile / "inside"));
}

// A client changing a limit every 10 ms never pauses for the half second the
// save waits for: the file follows all the same, at least every two seconds.
TEST_F(DataFiles, AStreamOfSettingsChangesIsSavedWhileItLasts) {
    auto engine = start();
    const fs::path file = home / Storage::kSettingsFile;
    std::int64_t lastSet = 0;
    bool savedDuringStream = false;
    QElapsedTimer stream;
    stream.start();
    while (stream.elapsed() < 6000 && !savedDuringStream) {
        AppSettings s = engine->settings();
        s.downloadLimitKiB = ++lastSet;
        engine->setSettings(s);
        test::spinFor(10ms);
        std::int64_t onDisk = Storage::loadSettings(file).downloadLimitKiB;
        savedDuringStream = onDisk > 0 && onDisk < lastSet;
    }
    EXPECT_TRUE(savedDuringStream) << "nothing written while the changes went on";
}

} // namespace
