// Both servers acknowledge an add or a settings change only once it is on
// disk: with a full data folder each answers an error (a refused add adds
// nothing; a refused change stays in force and is saved once there is room),
// and what they acknowledged is still there after a restart.

#include <QUrl>

#include <gtest/gtest.h>

#include "tests/automation/loopback_engine.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/qt_app.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/temp_dir.h"
#include "tevro/automation/automation_api.h"
#include "tevro/automation/command_layer.h"
#include "tevro/automation/control_routes.h"
#include "tevro/engine/torrent_engine.h"

using namespace tevro;
namespace fs = std::filesystem;

namespace {

TEST(DurableChanges, BothServersRefuseWhatCannotBeSaved) {
    test::ensureQtApp();
    test::TempDir dir;
    auto engine = test::loopbackEngine(dir.path());
    CommandLayer commands(*engine);
    ControlRoutes routes(commands);
    AutomationAPI api(commands);
    auto control = [&](const std::string& target) {
        std::optional<std::string> reply;
        routes.route(target, [&](int, std::string text) { reply = std::move(text); });
        EXPECT_TRUE(test::waitUntil([&] { return reply.has_value(); })) << target;
        return Json::parse(reply.value_or("{}"));
    };
    auto automation = [&](const std::string& tool, const Json& arguments) {
        std::optional<AutomationAPI::Result> result;
        api.call(tool, arguments, [&](AutomationAPI::Result r) { result = std::move(r); });
        EXPECT_TRUE(test::waitUntil([&] { return result.has_value(); })) << tool;
        return result.value_or(std::unexpected(std::string("no answer")));
    };
    auto torrent = [&](const std::string& name, std::uint32_t seed) {
        swarm::GeneratedTorrent::Options o;
        o.name = name;
        o.files = {{name + "/a.bin", 40'000}, {name + "/b.txt", 100}};
        o.seed = seed;
        return swarm::GeneratedTorrent::create(dir / ("seed-" + name), o);
    };
    auto one = torrent("One", 1), two = torrent("Two", 2), three = torrent("Three", 3);
    std::string save = (dir / "downloads").string();
    auto addPath = [&](const swarm::GeneratedTorrent& t) {
        return "/add?path=" +
               QUrl::toPercentEncoding(QString::fromStdString(t.torrentPath().string()))
                   .toStdString() +
               "&paused=1";
    };

    // Acknowledged while there is room.
    EXPECT_TRUE(control(addPath(one)).contains("id"));
    EXPECT_EQ(control("/settings?down=111")["ok"], true);
    {
        test::FileSizeLimit full;
        Json refused = control(addPath(two));
        EXPECT_NE(refused.value("error", "").find("Не удалось сохранить торрент"),
                  std::string::npos)
            << refused.dump();
        refused = control("/settings?up=222");
        EXPECT_NE(refused.value("error", "").find("settings.json"), std::string::npos)
            << refused.dump();
        auto added = automation("add_torrent",
                                {{"source", three.torrentPath().string()}, {"save_path", save}});
        ASSERT_FALSE(added);
        EXPECT_NE(added.error().find("Не удалось сохранить торрент"), std::string::npos)
            << added.error();
        auto changed = automation("update_settings", {{"upload_kib", 333}});
        ASSERT_FALSE(changed);
        EXPECT_NE(changed.error().find("settings.json"), std::string::npos) << changed.error();
    }
    engine->shutdown();

    engine = test::loopbackEngine(dir.path(), false);
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrents().size() == 1; }));
    EXPECT_EQ(engine->torrents()[0].id, one.expectedId());
    EXPECT_EQ(engine->settings().downloadLimitKiB, 111);
    // A refused change stayed in force, and reached the disk with the room.
    EXPECT_EQ(engine->settings().uploadLimitKiB, 333);
    engine->shutdown();
}

} // namespace
