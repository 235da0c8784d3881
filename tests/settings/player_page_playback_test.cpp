// Language and subtitle choices made on the player page decide the tracks
// the real player picks in the next file it opens.

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/settings/settings_fixture.h"
#include "tests/support/playback/clips.h"
#include "tests/support/playback/player_rig.h"
#include "tests/support/playback/software_renderer.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tevro/player/player_model.h"
#include "tevro/settings/player_settings.h"
#include "tevro/settings/settings_choice.h"

using namespace tevro;
using namespace std::chrono_literals;

namespace {

std::optional<std::string> selectedLanguage(const PlayerModel& model, MediaTrack::Kind kind) {
    for (const auto& t : model.tracks())
        if (t.kind == kind && t.selected)
            return t.language.value_or("?");
    return std::nullopt;
}

TEST(PlayerPagePlaybackTest, LanguageChoicesDecideTheNextFilesTracks) {
    test::ensureSettingsApp();
    test::TempDir dir;
    ASSERT_TRUE(playback::makeMultiTrackVideo(dir / "seed" / "Tracks" / "Tracks.mkv", 20));
    playback::PlayerRig rig(dir.path(), {8 << 20, {}});
    std::string id = rig.add(playback::MediaTorrent::create(dir / "seed", "Tracks"));
    TorrentFile film = rig.file(id, "Tracks.mkv");

    auto play =
        [&](const char* what) -> std::pair<std::optional<std::string>, std::optional<std::string>> {
        SCOPED_TRACE(what);
        PlayerModel model(rig.engine());
        auto core = model.ensureCore();
        EXPECT_TRUE(core);
        if (!core)
            return {};
        auto renderer = playback::SoftwareRenderer::attach(*core);
        bool opened = false;
        model.open(id, film, [&] { opened = true; });
        EXPECT_TRUE(test::waitUntil([&] { return opened; }));
        EXPECT_TRUE(test::waitUntil(
            [&] { return model.loaded() && selectedLanguage(model, MediaTrack::Kind::audio); },
            30s));
        test::spinFor(300ms); // the automatic choice has settled
        return {selectedLanguage(model, MediaTrack::Kind::audio),
                selectedLanguage(model, MediaTrack::Kind::sub)};
    };

    // The defaults prefer Russian audio; with it subtitles stay off.
    auto [audio, subtitle] = play("defaults");
    EXPECT_EQ(audio, "rus");
    EXPECT_EQ(subtitle, std::nullopt);

    // English audio and subtitles always on, chosen on the page.
    PlayerSettings page(rig.engine());
    page.show();
    for (const char* name : {"field:Языки аудио", "field:Языки субтитров"}) {
        auto* field = page.findChild<QLineEdit*>(name);
        ASSERT_NE(field, nullptr);
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, "eng, en");
    }
    auto* mode = page.findChild<SettingsChoice*>("choice:Включать субтитры");
    ASSERT_NE(mode, nullptr);
    mode->pick(1); // "Всегда"
    rig.engine().updateMeta(id, [](TorrentMeta& m) {
        m.audio.reset();
        m.subtitle.reset();
    });
    std::tie(audio, subtitle) = play("english");
    EXPECT_EQ(audio, "eng");
    EXPECT_EQ(subtitle, "eng");
}

} // namespace
