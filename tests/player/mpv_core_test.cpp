// The libmpv core against the real libmpv: options, the track list, event
// delivery, telemetry while paused, refused commands and teardown.

#include "tevro/player/mpv_core.h"

#include <clocale>
#include <deque>

#include <mpv/client.h>

#include <gtest/gtest.h>

#include "tests/support/playback/clips.h"
#include "tests/support/playback/software_renderer.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

using namespace tevro;
using namespace std::chrono_literals;

namespace {

// Builds mpv nodes that own their memory, as mpv hands them to clients.
class Nodes {
public:
    mpv_node text(const char* s) {
        mpv_node n{};
        n.format = MPV_FORMAT_STRING;
        n.u.string = const_cast<char*>(s);
        return n;
    }
    mpv_node integer(std::int64_t v) {
        mpv_node n{};
        n.format = MPV_FORMAT_INT64;
        n.u.int64 = v;
        return n;
    }
    mpv_node flag(bool v) {
        mpv_node n{};
        n.format = MPV_FORMAT_FLAG;
        n.u.flag = v;
        return n;
    }
    mpv_node map(std::vector<std::pair<const char*, mpv_node>> entries) {
        auto& keys = m_keys.emplace_back();
        auto& values = m_values.emplace_back();
        for (auto& [k, v] : entries) {
            keys.push_back(const_cast<char*>(k));
            values.push_back(v);
        }
        auto& list = m_lists.emplace_back();
        list.num = static_cast<int>(values.size());
        list.values = values.data();
        list.keys = keys.data();
        mpv_node n{};
        n.format = MPV_FORMAT_NODE_MAP;
        n.u.list = &list;
        return n;
    }
    mpv_node array(std::vector<mpv_node> items) {
        auto& values = m_values.emplace_back(std::move(items));
        auto& list = m_lists.emplace_back();
        list.num = static_cast<int>(values.size());
        list.values = values.data();
        mpv_node n{};
        n.format = MPV_FORMAT_NODE_ARRAY;
        n.u.list = &list;
        return n;
    }

private:
    std::deque<std::vector<char*>> m_keys;
    std::deque<std::vector<mpv_node>> m_values;
    std::deque<mpv_node_list> m_lists;
};

std::string property(MPVCore& core, const char* name) {
    char* v = mpv_get_property_string(core.handle(), name);
    std::string out = v ? v : "";
    mpv_free(v);
    return out;
}

std::map<std::string, std::string> diagnosticsOf(MPVCore& core) {
    std::optional<std::map<std::string, std::string>> result;
    core.diagnostics([&](std::map<std::string, std::string> map) { result = std::move(map); });
    test::waitUntil([&] { return result.has_value(); });
    return result.value_or(std::map<std::string, std::string>{{"timeout", "1"}});
}

} // namespace

TEST(MPVCoreTracks, ReadsWellFormedEntriesOnly) {
    Nodes n;
    mpv_node list = n.array({
        n.map({{"id", n.integer(1)},
               {"type", n.text("audio")},
               {"title", n.text("Дубляж")},
               {"lang", n.text("rus")},
               {"codec", n.text("aac")},
               {"demux-channel-count", n.integer(6)},
               {"external", n.flag(true)},
               {"external-filename", n.text("tevro://ab/3")},
               {"default", n.flag(true)},
               {"forced", n.flag(false)},
               {"selected", n.flag(true)}}),
        n.map({{"id", n.integer(2)}, {"type", n.text("subtitle")}}), // not a kind mpv uses
        n.map({{"id", n.text("3")}, {"type", n.text("sub")}}),       // id must be an integer
        n.map({{"type", n.text("video")}}),                          // no id
        n.text("not a map"),
        // Wrong formats leave fields out; a later duplicate key wins.
        n.map({{"id", n.integer(4)},
               {"id", n.integer(5)},
               {"type", n.text("sub")},
               {"title", n.integer(7)},
               {"selected", n.text("yes")},
               {"forced", n.flag(true)}}),
    });

    MediaTrack audio;
    audio.id = 1;
    audio.kind = MediaTrack::Kind::audio;
    audio.title = "Дубляж";
    audio.language = "rus";
    audio.codec = "aac";
    audio.channels = 6;
    audio.external = true;
    audio.externalFile = "tevro://ab/3";
    audio.isDefault = true;
    audio.selected = true;
    MediaTrack sub;
    sub.id = 5;
    sub.kind = MediaTrack::Kind::sub;
    sub.forced = true;
    EXPECT_EQ(MPVCore::tracks(list), (std::vector<MediaTrack>{audio, sub}));
    EXPECT_TRUE(MPVCore::tracks(n.text("x")).empty());
}

class MPVCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureQtApp();
        playback::ClipOptions o;
        o.seconds = 6;
        o.noise = false;
        ASSERT_TRUE(playback::makeVideo(clip, o));
    }

    std::shared_ptr<MPVCore> makeCore(bool hardwareDecoding = false) {
        auto core = MPVCore::create({nullptr, hardwareDecoding, true});
        if (core) {
            core->setOnEvent([this](const MPVEvent& e) { events.push_back(e); });
            renderer = playback::SoftwareRenderer::attach(*core);
        }
        return core;
    }

    bool sawLoaded() const {
        for (const auto& e : events)
            if (e.as<MPVEvent::FileLoaded>())
                return true;
        return false;
    }

    test::TempDir dir;
    std::filesystem::path clip = dir / "clip.mkv";
    std::vector<MPVEvent> events;
    std::shared_ptr<playback::SoftwareRenderer> renderer;
};

TEST_F(MPVCoreTest, LeavesTheProcessLocaleAlone) {
    // Changing it here would race every thread that formats a number.
    ASSERT_NE(std::setlocale(LC_NUMERIC, "C.UTF-8"), nullptr);
    auto core = makeCore();
    const std::string numeric = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");
    ASSERT_TRUE(core);
    EXPECT_EQ(numeric, "C.UTF-8");
}

TEST_F(MPVCoreTest, ConfiguresMpvAndDeliversLoadEventsInOrder) {
    for (bool hw : {true, false}) {
        auto core = MPVCore::create({nullptr, hw, true});
        ASSERT_TRUE(core);
        EXPECT_EQ(property(*core, "hwdec"), hw ? "auto-safe" : "no");
        EXPECT_EQ(property(*core, "ao"), "null");
        EXPECT_EQ(property(*core, "vo"), "libmpv");
        EXPECT_EQ(property(*core, "keep-open"), "yes");
    }

    auto core = makeCore();
    ASSERT_TRUE(core);
    ASSERT_TRUE(renderer);
    EXPECT_EQ(core->commandAsync({"loadfile", clip.string(), "replace", "pause=yes"}), 0);
    ASSERT_TRUE(test::waitUntil([&] { return sawLoaded(); }, 20s));

    // The file's track list comes right before the load itself.
    auto loaded = std::find_if(events.begin(), events.end(),
                               [](const MPVEvent& e) { return e.as<MPVEvent::FileLoaded>(); });
    ASSERT_NE(loaded, events.begin());
    const auto* tracks = std::prev(loaded)->as<MPVEvent::Tracks>();
    ASSERT_TRUE(tracks);
    ASSERT_EQ(tracks->list.size(), 2u);
    EXPECT_EQ(tracks->list[0].kind, MediaTrack::Kind::video);
    EXPECT_EQ(tracks->list[1].kind, MediaTrack::Kind::audio);

    // Position is polled, duration observed.
    ASSERT_TRUE(test::waitUntil([&] {
        bool position = false, duration = false;
        for (const auto& e : events)
            if (auto* p = e.as<MPVEvent::Property>()) {
                position |= p->name == "time-pos" && p->value.asDouble().has_value();
                duration |= p->name == "duration" && p->value.asDouble() > 5.0;
            }
        return position && duration;
    }));

    auto diagnostics = diagnosticsOf(*core);
    EXPECT_FALSE(diagnostics["mpv-version"].empty());
    EXPECT_EQ(diagnostics["current-vo"], "libmpv");
    EXPECT_GT(std::stoi(diagnostics["event-batches"]), 0);
    EXPECT_GT(std::stoi(diagnostics["position-requests"]), 0);

    core->destroy();
    EXPECT_TRUE(diagnosticsOf(*core).empty());
    EXPECT_EQ(core->handle(), nullptr);
    core->destroy(); // a second teardown does nothing
    EXPECT_EQ(core->commandAsync({"stop"}), 0);
    core->set("pause", "no");
}

TEST_F(MPVCoreTest, WhilePausedTheTimerPollsOnlyTheCache) {
    auto core = makeCore();
    ASSERT_TRUE(core);
    core->commandAsync({"loadfile", clip.string(), "replace", "pause=yes"});
    ASSERT_TRUE(test::waitUntil([&] { return sawLoaded(); }, 20s));
    // Let the reads that the load and the pause refresh settle.
    test::spinFor(500ms);
    auto before = diagnosticsOf(*core);
    test::spinFor(2500ms);
    auto after = diagnosticsOf(*core);
    EXPECT_EQ(after["position-requests"], before["position-requests"]);
    EXPECT_GE(std::stoi(after["telemetry-requests"]) - std::stoi(before["telemetry-requests"]), 1);
}

TEST_F(MPVCoreTest, RefusedAndAnsweredCommandsAreReported) {
    auto core = makeCore();
    ASSERT_TRUE(core);
    // mpv 0.35 reads a fourth "loadfile" argument as the options: "-1" is
    // no option list, and mpv refuses the whole command at once.
    EXPECT_EQ(core->commandAsync({"loadfile", clip.string(), "replace", "-1", "start=1"}, 41),
              MPV_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(core->commandAsync({"loadfile", clip.string(), "replace", "start=1"}, 42), 0);
    ASSERT_TRUE(test::waitUntil([&] {
        for (const auto& e : events)
            if (auto* r = e.as<MPVEvent::CommandReply>(); r && r->id == 42)
                return true;
        return false;
    }));
    for (const auto& e : events)
        if (auto* r = e.as<MPVEvent::CommandReply>()) {
            EXPECT_EQ(r->id, 42u);
            EXPECT_EQ(r->error, 0);
        }
}
