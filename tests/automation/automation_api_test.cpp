#include "tevro/automation/automation_api.h"

#include <gtest/gtest.h>

#include "tests/automation/loopback_engine.h"
#include "tests/support/qt_app.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tests/support/temp_dir.h"
#include "tevro/automation/command_layer.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/player/player_model.h"

using namespace tevro;
namespace fs = std::filesystem;

namespace {

class AutomationAPITest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureQtApp();
        engine = test::loopbackEngine(dir.path());
        commands = std::make_unique<CommandLayer>(*engine);
        api = std::make_unique<AutomationAPI>(*commands);
        swarm::GeneratedTorrent::Options t;
        t.name = "Alpha";
        t.files = {{"video.mkv", 200000}, {"notes.txt", 1000}, {"b.srt", 500}};
        torrent = swarm::GeneratedTorrent::create(dir / "seed", t);
    }

    void TearDown() override {
        api.reset();
        engine->shutdown();
    }

    // The result read as JSON, the state document's written text included.
    std::expected<Json, std::string> call(const std::string& name, const Json& args) {
        std::optional<AutomationAPI::Result> result;
        api->call(name, args, [&](AutomationAPI::Result r) { result = std::move(r); });
        EXPECT_TRUE(test::waitUntil([&] { return result.has_value(); })) << name;
        if (!result)
            return std::unexpected(std::string("no answer"));
        if (!*result)
            return std::unexpected(result->error());
        return (*result)->json();
    }

    std::string error(const std::string& name, const Json& args) {
        auto r = call(name, args);
        return r ? "ok: " + r->dump() : r.error();
    }

    std::string add(Json extra = Json::object()) {
        Json args = {{"source", torrent->torrentPath().string()},
                     {"save_path", (dir / "downloads").string()}};
        args.update(extra);
        auto r = call("add_torrent", args);
        EXPECT_TRUE(r) << r.error();
        return r ? (*r)["id"].get<std::string>() : "";
    }

    std::vector<TorrentFile> files(const std::string& id) {
        std::optional<std::vector<TorrentFile>> list;
        engine->files(id, [&](std::vector<TorrentFile> f) { list = std::move(f); });
        EXPECT_TRUE(test::waitUntil([&] { return list.has_value(); }));
        return list.value_or(std::vector<TorrentFile>{});
    }

    test::TempDir dir;
    std::unique_ptr<TorrentEngine> engine;
    std::unique_ptr<CommandLayer> commands;
    std::unique_ptr<AutomationAPI> api;
    std::optional<swarm::GeneratedTorrent> torrent;
};

} // namespace

TEST_F(AutomationAPITest, AddsTorrentsPausedWithTheChosenFilesOnly) {
    auto padding = [&] {
        for (int i = 0; i < torrent->info()->num_files(); ++i)
            if (torrent->info()->files().pad_file_at(lt::file_index_t(i)))
                return i;
        return -1;
    }();
    ASSERT_GE(padding, 0) << "a hybrid torrent of several files pads them";

    std::string magnet = torrent->magnet();
    struct Case {
        Json args;
        std::string expected;
    } refused[] = {
        {Json{{"source", torrent->torrentPath().string()}, {"files", {0, padding}}},
         "Unknown or padding file index."},
        {Json{{"source", torrent->torrentPath().string()}, {"files", {99}}},
         "Unknown or padding file index."},
        {Json{{"source", magnet}, {"files", Json::array()}},
         "Magnet metadata is not available yet. Add it first, then select files."},
        {Json{{"source", "relative/a.torrent"}},
         "Use an absolute local path without control characters."},
        {Json{{"source", torrent->torrentPath().string()}, {"save_path", "downloads"}},
         "Use an absolute local path without control characters."},
        {Json{{"source", (dir / "missing.torrent").string()}},
         "Readable local .torrent file required."},
        {Json{{"source", (dir / "seed" / "Alpha" / "notes.txt").string()}},
         "Readable local .torrent file required."},
    };
    for (const Case& c : refused)
        EXPECT_EQ(error("add_torrent", c.args), c.expected) << c.args.dump();
    EXPECT_TRUE(engine->torrents().empty());

    // Without "paused" the torrent is added paused; an empty "files" skips every file.
    std::string id = add({{"files", Json::array()}});
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(id).has_value(); }));
    EXPECT_TRUE(engine->torrent(id)->paused);
    for (const TorrentFile& f : files(id))
        EXPECT_EQ(f.prio, 0) << f.path;

    auto again = call("add_torrent", Json{{"source", torrent->torrentPath().string()}});
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, (Json{{"id", id}, {"duplicate", true}}));

    // Details list the files, trackers and peers; a wrong id names itself.
    auto details = call("get_torrent_details", Json{{"id", id}});
    ASSERT_TRUE(details);
    EXPECT_EQ((*details)["torrent"]["id"], id);
    EXPECT_EQ((*details)["files"].size(), static_cast<std::size_t>(torrent->numFiles()));
    EXPECT_TRUE((*details)["trackers"].is_array());
    EXPECT_TRUE((*details)["peers"].is_array());
    for (const char* tool : {"get_torrent_details", "remove_torrent", "set_torrent_limits"})
        EXPECT_EQ(error(tool, Json{{"id", "nope"}}), "Torrent not found: nope");

    // File priorities: padding and unknown indices are refused, duplicates are fine.
    EXPECT_EQ(error("set_file_priority", Json{{"id", id}, {"files", {padding}}, {"priority", 7}}),
              "Unknown or padding file index.");
    EXPECT_EQ(error("set_file_priority", Json{{"id", id}, {"files", {0, 0}}, {"priority", 7}}),
              R"(ok: {"accepted":true})");
    EXPECT_TRUE(test::waitUntil([&] { return files(id)[0].prio == 7; }));

    std::string started = [&] {
        swarm::GeneratedTorrent::Options beta;
        beta.name = "Beta";
        torrent = swarm::GeneratedTorrent::create(dir / "seed2", beta);
        return add({{"paused", false}});
    }();
    EXPECT_TRUE(test::waitUntil([&] {
        auto t = engine->torrent(started);
        return t && !t->paused;
    }));
}

TEST_F(AutomationAPITest, LimitsKeepWhatIsNotGivenAndRemovalNeedsTheExactName) {
    std::string id = add();
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(id).has_value(); }));
    EXPECT_EQ(error("set_torrent_limits", Json{{"id", id}}), "Provide at least one limit.");
    ASSERT_TRUE(call("set_torrent_limits",
                     Json{{"id", id}, {"download_kib", 2097151}, {"connections", 30}}));
    ASSERT_TRUE(
        test::waitUntil([&] { return engine->torrent(id)->downloadLimit == 2097151ll * 1024; }));
    ASSERT_TRUE(call("set_torrent_limits", Json{{"id", id}, {"upload_kib", 5}}));
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(id)->uploadLimit == 5 * 1024; }));
    EXPECT_EQ(engine->torrent(id)->downloadLimit, 2097151ll * 1024);
    EXPECT_EQ(engine->torrent(id)->connectionsLimit, 30);

    fs::path data = dir / "downloads" / "Alpha";
    ASSERT_TRUE(call("torrent_action", Json{{"id", id}, {"action", "recheck"}}));
    for (Json args : {Json{{"id", id}, {"delete_files", true}},
                      Json{{"id", id}, {"delete_files", true}, {"confirm_name", "alpha"}}})
        EXPECT_EQ(error("remove_torrent", args),
                  "Deleting data requires confirm_name matching the torrent name.");
    fs::create_directories(data);
    test::writeAll(data / "notes.txt", "x");
    EXPECT_EQ(error("remove_torrent",
                    Json{{"id", id}, {"delete_files", true}, {"confirm_name", "Alpha"}}),
              R"(ok: {"accepted":true})");
    EXPECT_TRUE(test::waitUntil([&] { return !engine->torrent(id); }));
    EXPECT_TRUE(test::waitUntil([&] { return !fs::exists(data / "notes.txt"); }));
}

TEST_F(AutomationAPITest, SettingsChangeTogetherOrNotAtAll) {
    AppSettings before = engine->settings();
    fs::path file = dir / "plain";
    test::writeAll(file, "x");
    auto refused = call("update_settings", Json{{"download_kib", 100},
                                                {"download_directory", (file / "sub").string()}});
    EXPECT_FALSE(refused);
    EXPECT_EQ(engine->settings(), before);
    EXPECT_EQ(error("update_settings", Json::object()), "Provide at least one setting.");

    auto updated =
        call("update_settings", Json{{"download_kib", 2097151},
                                     {"subtitle_mode", "never"},
                                     {"add_paused", true},
                                     {"download_directory", (dir / "new/./x/..").string()}});
    ASSERT_TRUE(updated) << updated.error();
    EXPECT_EQ((*updated)["download_directory"], (dir / "new").string());
    EXPECT_TRUE(fs::is_directory(dir / "new"));
    EXPECT_EQ(engine->settings().downloadLimitKiB, 2097151);
    EXPECT_EQ(engine->settings().subtitleMode, SubtitleMode::never);
    EXPECT_EQ(*call("get_settings", Json::object()), *updated);
    EXPECT_EQ(updated->size(), 12u);
}

TEST_F(AutomationAPITest, OneCallAtATimeAndValidationFirst) {
    std::string id = add();
    std::optional<AutomationAPI::Result> first;
    api->call("get_torrent_details", Json{{"id", id}},
              [&](AutomationAPI::Result r) { first = std::move(r); });
    EXPECT_EQ(error("get_state", Json::object()), AutomationAPI::kBusy);
    EXPECT_EQ(error("get_state", Json{{"extra", 1}}),
              R"(Invalid arguments: unknown argument "extra")");
    EXPECT_EQ(error("nothing", Json::object()), "Unknown tool: nothing");
    ASSERT_TRUE(test::waitUntil([&] { return first.has_value(); }));
    EXPECT_TRUE(*first);
    EXPECT_TRUE(call("get_state", Json::object()));

    engine->shutdown();
    EXPECT_EQ(error("get_state", Json::object()), "Tevro is shutting down.");
}

TEST(AutomationAPIPaths, AbsoluteLocalPathsOnly) {
    struct Case {
        std::string path;
        std::string expected;
    } cases[] = {
        {"/a/b/../c/./d/", "/a/c/d"},
        {"/", "/"},
        {"/..", "/"},
        {"//x//y", "/x/y"},
        {"a/b", ""},
        {"", ""},
        {"~/x", ""},
        {"/tab\there", ""},
        {"/zw\xE2\x80\x8Bsp", ""},
        {"/\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0", "/\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0"},
    };
    for (const Case& c : cases) {
        auto result = AutomationAPI::absolutePath(c.path);
        EXPECT_EQ(result ? *result : "", c.expected) << c.path;
        if (!result) {
            EXPECT_EQ(result.error().message,
                      "Use an absolute local path without control characters.");
        }
    }
}

TEST_F(AutomationAPITest, PlayerToolsCheckTheirArgumentsAndTheFile) {
    PlayerModel player(*engine);
    CommandLayer::Sources sources;
    sources.player = &player;
    std::vector<std::string> opened;
    sources.openWindow = [&](const std::string& id) { opened.push_back(id); };
    commands->setSources(sources);
    std::string id = add();
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(id).has_value(); }));

    const std::string onlyOne = "Provide only the parameter required by this player action.";
    struct Case {
        Json args;
        std::string expected;
    } cases[] = {
        {Json{{"action", "seek"}}, onlyOne},
        {Json{{"action", "seek"}, {"seconds", 1}, {"value", 1}}, onlyOne},
        {Json{{"action", "stop"}, {"value", 1}}, onlyOne},
        {Json{{"action", "volume"}, {"seconds", 1}}, onlyOne},
        {Json{{"action", "audio"}, {"value", 1}}, onlyOne},
        {Json{{"action", "pause"}, {"option", "a1"}}, onlyOne},
        {Json{{"action", "stop"}}, R"(ok: {"accepted":true})"},
        {Json{{"action", "pause"}}, "No file is open in the player."},
        {Json{{"action", "speed"}, {"value", 2}}, "No file is open in the player."},
        {Json{{"action", "subtitle"}, {"option", "off"}}, "No file is open in the player."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(error("control_player", c.args), c.expected) << c.args.dump();

    int text = -1, padding = -1;
    for (const TorrentFile& f : files(id)) {
        if (f.pad)
            padding = static_cast<int>(f.i);
        else if (f.path.ends_with("notes.txt"))
            text = static_cast<int>(f.i);
    }
    for (int index : {text, padding, 999})
        EXPECT_EQ(error("play_file", Json{{"id", id}, {"file", index}}),
                  "Playable audio/video file not found.")
            << index;
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(player.item());
}

TEST(AutomationAPIText, SpeedIsWrittenWithAFractionalPart) {
    for (auto [value, text] : std::initializer_list<std::pair<double, const char*>>{
             {2, "2.0"}, {4, "4.0"}, {0.25, "0.25"}, {1.1, "1.1"}, {1.0 / 3, "0.3333333333333333"}})
        EXPECT_EQ(AutomationAPI::decimalText(value), text);
}
