#include "tevro/core/storage.h"

#include <csignal>
#include <random>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/fake_machine.h"
#include "tests/support/temp_dir.h"

using namespace tevro;
namespace fs = std::filesystem;

TEST(Storage, HomeHonoursTevroHome) {
    test::ScopedFakeMachine m;
    m->data = "/xdg/data";
    const char* old = std::getenv("TEVRO_HOME");
    std::string saved = old ? old : "";

    setenv("TEVRO_HOME", "", 1);
    EXPECT_EQ(Storage::resolveHome(), fs::path("/xdg/data/Tevro"));
    setenv("TEVRO_HOME", "/srv/tevro-data", 1);
    EXPECT_EQ(Storage::resolveHome(), fs::path("/srv/tevro-data"));
    setenv("TEVRO_HOME", "relative/home", 1);
    EXPECT_EQ(Storage::resolveHome(), fs::current_path() / "relative/home");
    unsetenv("TEVRO_HOME");
    EXPECT_EQ(Storage::resolveHome(), fs::path("/xdg/data/Tevro"));

    if (old)
        setenv("TEVRO_HOME", saved.c_str(), 1);
}

TEST(Storage, EncodingIsPrettySortedAndEscaped) {
    Json j = {{"zeta", 1},
              {"alpha", {{"b", Json::array()}, {"a", "x/y"}}},
              {"list", {1.5, "ü"}},
              {"empty", Json::object()}};
    EXPECT_EQ(Storage::encode(j), "{\n"
                                  "  \"alpha\" : {\n"
                                  "    \"a\" : \"x\\/y\",\n"
                                  "    \"b\" : []\n"
                                  "  },\n"
                                  "  \"empty\" : {},\n"
                                  "  \"list\" : [\n"
                                  "    1.5,\n"
                                  "    \"ü\"\n"
                                  "  ],\n"
                                  "  \"zeta\" : 1\n"
                                  "}");
    // Bad UTF-8 never makes the writer fail.
    EXPECT_EQ(Storage::encode(Json(std::string("a\xC3"))), "\"a\xEF\xBF\xBD\"");
}

TEST(Storage, SaveCreatesFoldersAndKeepsThePasswordPrivate) {
    test::ScopedFakeMachine m;
    test::TempDir dir;
    fs::path target = dir / "new/deeper/settings.json";
    AppSettings s;
    s.proxyPassword = "secret";
    ASSERT_TRUE(Storage::saveSettings(s, target));
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600);
    EXPECT_FALSE(fs::exists(dir / "new/deeper/settings.json.tmp"));
    std::string text = test::readAll(target);
    EXPECT_NE(text.back(), '\n');
    EXPECT_EQ(Storage::loadSettings(target), s);
}

TEST(Storage, UnreadableFilesAreKeptAsCorrupt) {
    test::ScopedFakeMachine m;
    test::TempDir dir;
    // A valid-JSON array is not a settings object.
    test::writeAll(dir / "settings.json", "[1, 2]");
    AppSettings loaded = Storage::loadSettings(dir / "settings.json");
    EXPECT_EQ(loaded.encode().size(), AppSettings().encode().size());
    EXPECT_EQ(test::readAll(dir / "settings.json.corrupt"), "[1, 2]");

    test::writeAll(dir / "torrents.json",
                   R"({"a":{"positions":{},"ignoreSeedLimits":true},)"
                   R"("b":{"positions":{"x":1.0},"ignoreSeedLimits":false}})");
    EXPECT_TRUE(Storage::loadMeta(dir / "torrents.json").empty());
    EXPECT_TRUE(fs::exists(dir / "torrents.json.corrupt"));

    // One copy, overwritten by the next unreadable file.
    test::writeAll(dir / "torrents.json", "{broken");
    Storage::loadMeta(dir / "torrents.json");
    EXPECT_EQ(test::readAll(dir / "torrents.json.corrupt"), "{broken");

    // A missing file is not corrupt.
    Storage::loadMeta(dir / "missing.json");
    EXPECT_FALSE(fs::exists(dir / "missing.json.corrupt"));
}

TEST(TorrentMeta, CodingAndStrictness) {
    auto one = json::decode<TorrentMetaMap>(R"({"id1":{"positions":{},"ignoreSeedLimits":true}})");
    ASSERT_TRUE(one);
    const TorrentMeta& m = one->at("id1");
    EXPECT_TRUE(m.ignoreSeedLimits);
    EXPECT_FALSE(m.audio || m.subtitle || m.lastPlayedFile);
    EXPECT_EQ(Json(m).dump(), R"({"ignoreSeedLimits":true,"positions":{}})");

    TorrentMeta full;
    full.positions = {{0, 812.5}, {3, 12.0}};
    full.audio = TorrentMeta::TrackChoice{"rus", std::nullopt, std::nullopt, false};
    full.subtitle = TorrentMeta::TrackChoice{std::nullopt, std::nullopt, std::nullopt, true};
    full.lastPlayedFile = 3;
    Json j = full;
    EXPECT_EQ(j["positions"]["3"], 12.0);
    EXPECT_EQ(j["subtitle"].dump(), R"({"off":true})");
    EXPECT_EQ(j.get<TorrentMeta>(), full);

    const char* bad[] = {
        R"({"x":{"positions":{}}})",
        R"({"x":{"positions":{"x":1},"ignoreSeedLimits":false}})",
        R"({"x":{"positions":{"1":"a"},"ignoreSeedLimits":false}})",
        R"({"x":{"positions":[],"ignoreSeedLimits":false}})",
        R"({"x":{"positions":{},"ignoreSeedLimits":false,"audio":{"language":"en"}}})",
        R"({"x":{"positions":{},"ignoreSeedLimits":false,"lastPlayedFile":"3"}})",
    };
    for (const char* text : bad)
        EXPECT_FALSE(json::decode<TorrentMetaMap>(text)) << text;
}

TEST(Storage, MetaRoundTripThroughTheFile) {
    test::TempDir dir;
    TorrentMetaMap map;
    map["b"].positions[1] = 5.25;
    map["a"].ignoreSeedLimits = true;
    ASSERT_TRUE(Storage::saveMeta(map, dir / "torrents.json"));
    std::string text = test::readAll(dir / "torrents.json");
    EXPECT_LT(text.find("\"a\""), text.find("\"b\""));
    EXPECT_EQ(Storage::loadMeta(dir / "torrents.json"), map);
}

// Kills a child that saves in a loop at random moments: the file must always
// be one of the two versions, never torn.
TEST(Storage, SavesAreAtomicUnderKill) {
    test::TempDir dir;
    fs::path target = dir / "torrents.json";
    auto version = [](int which) {
        Json j = Json::object();
        for (int i = 0; i < 3000; ++i)
            j["torrent-" + std::to_string(i)] = {{"which", which}, {"pad", std::string(20, 'x')}};
        return j;
    };
    const std::string a = Storage::encode(version(1));
    const std::string b = Storage::encode(version(2));
    ASSERT_TRUE(Storage::writeAtomically(target, a));

    std::mt19937 rng(42);
    for (int round = 0; round < 120; ++round) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0;; ++i)
                Storage::writeAtomically(target, i % 2 ? a : b);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 4000));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        std::string now = test::readAll(target);
        ASSERT_TRUE(now == a || now == b)
            << "torn file after round " << round << ", " << now.size() << " bytes";
    }
}
