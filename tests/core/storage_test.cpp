#include "tevro/core/storage.h"

#include <csignal>
#include <fstream>
#include <random>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/damaged_files.h"
#include "tests/support/fake_machine.h"
#include "tests/support/file_size_limit.h"
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

std::string startOf(const fs::path& file, std::size_t n) {
    std::ifstream in(file, std::ios::binary);
    std::string out(n, '\0');
    in.read(out.data(), static_cast<std::streamsize>(n));
    out.resize(static_cast<std::size_t>(in.gcount()));
    return out;
}

// Every damage of both files: the app gets what could be read, and the
// user's bytes survive: beside the file under a new name each time, or in
// place when the file cannot be opened at all (and then it is never written).
TEST(Storage, DamagedFilesAreSetAsideAndNeverReplaced) {
    test::ScopedFakeMachine m;
    AppSettings chosen;
    chosen.downloadLimitKiB = 321;
    chosen.audioLanguages = "eng";
    Json settings = chosen.encode();
    Json wrongSettings = settings;
    wrongSettings["downloadLimitKiB"] = "fast";
    wrongSettings["encryption"] = "none";
    Json unknownSettings = settings;
    unknownSettings["futureKey"] = {{"x", 1}};

    Json meta = {{"aaaa", {{"positions", {{"0", 12.5}}}, {"ignoreSeedLimits", true}}},
                 {"bbbb", {{"positions", Json::object()}, {"ignoreSeedLimits", false}}}};
    Json wrongMeta = meta;
    wrongMeta["bbbb"]["positions"] = "x";
    Json unknownMeta = meta;
    unknownMeta["aaaa"]["rating"] = 5;

    struct File {
        const char* name;
        test::DamageTexts texts;
    } files[] = {
        {"settings.json", {settings.dump(2), wrongSettings.dump(), unknownSettings.dump()}},
        {"torrents.json", {meta.dump(2), wrongMeta.dump(), unknownMeta.dump()}},
    };
    for (const File& f : files) {
        for (test::Damage damage : test::allDamages()) {
            SCOPED_TRACE(std::string(f.name) + ", " + test::damageName(damage));
            test::TempDir dir;
            fs::path path = dir / f.name;
            std::string bytes = test::applyDamage(damage, path, f.texts);
            auto size = fs::file_size(path);
            AppSettings loadedSettings;
            TorrentMetaMap loadedMeta;
            auto load = [&](FileCheck& check) {
                if (f.name == std::string("settings.json"))
                    loadedSettings = Storage::loadSettings(path, &check);
                else
                    loadedMeta = Storage::loadMeta(path, &check);
            };
            FileCheck check;
            {
                std::optional<test::Unprivileged> nobody;
                if (damage == test::Damage::unreadable && !nobody.emplace().works())
                    continue;
                load(check);
            }
            EXPECT_TRUE(check.worthTelling());
            EXPECT_FALSE(check.describe().empty());
            if (damage == test::Damage::unreadable) {
                EXPECT_EQ(check.result, FileCheck::Result::unreadable);
                EXPECT_FALSE(check.writable());
                ::chmod(path.c_str(), 0644);
                EXPECT_EQ(test::readAll(path), bytes);
                continue;
            }
            ASSERT_EQ(check.result, FileCheck::Result::setAside) << check.describe();
            EXPECT_FALSE(fs::exists(path));
            EXPECT_EQ(fs::file_size(check.copy), size);
            EXPECT_EQ(startOf(check.copy, bytes.size()), bytes);
            EXPECT_NE(check.copy.filename().string().find(".corrupt-"), std::string::npos);
            // What could be read is used: valid keys and entries count.
            if (damage == test::Damage::wrongTypes || damage == test::Damage::unknownKeys) {
                if (f.name == std::string("settings.json")) {
                    EXPECT_EQ(loadedSettings.audioLanguages, "eng");
                    EXPECT_EQ(loadedSettings.downloadLimitKiB,
                              damage == test::Damage::wrongTypes ? 0 : 321);
                } else {
                    EXPECT_EQ(loadedMeta.at("aaaa").positions.at(0), 12.5);
                    EXPECT_EQ(loadedMeta.size(), damage == test::Damage::wrongTypes ? 1u : 2u);
                    EXPECT_EQ(check.droppedEntries, damage == test::Damage::wrongTypes ? 1u : 0u);
                }
            }

            // The same damage again within the second: a copy of its own.
            test::applyDamage(damage, path, f.texts);
            FileCheck again;
            load(again);
            ASSERT_EQ(again.result, FileCheck::Result::setAside);
            EXPECT_NE(again.copy, check.copy);
            EXPECT_EQ(startOf(check.copy, bytes.size()), bytes);
        }
    }

    // Valid, missing, and read without a check: nothing moves.
    test::TempDir dir;
    test::writeAll(dir / "settings.json", settings.dump());
    FileCheck fine;
    EXPECT_EQ(Storage::loadSettings(dir / "settings.json", &fine), chosen);
    EXPECT_EQ(fine.result, FileCheck::Result::read);
    FileCheck missing;
    Storage::loadMeta(dir / "torrents.json", &missing);
    EXPECT_EQ(missing.result, FileCheck::Result::missing);
    EXPECT_FALSE(missing.worthTelling());
    test::writeAll(dir / "torrents.json", "{broken");
    EXPECT_TRUE(Storage::loadMeta(dir / "torrents.json").empty());
    EXPECT_EQ(test::readAll(dir / "torrents.json"), "{broken");
}

TEST(Storage, AFailedWriteSaysWhyAndKeepsTheOldFile) {
    test::TempDir dir;
    fs::path target = dir / "torrents.json";
    TorrentMetaMap map;
    map["a"].ignoreSeedLimits = true;
    ASSERT_TRUE(Storage::saveMeta(map, target));
    map["b"].ignoreSeedLimits = true;
    std::error_code error;
    {
        test::FileSizeLimit full(16);
        EXPECT_FALSE(Storage::saveMeta(map, target, &error));
    }
    EXPECT_EQ(error, std::errc::file_too_large);
    EXPECT_EQ(Storage::loadMeta(target).size(), 1u);
    EXPECT_FALSE(fs::exists(dir / "torrents.json.tmp"));
    EXPECT_EQ(writeFailureText(std::make_error_code(std::errc::no_space_on_device)),
              "на диске нет места");
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
