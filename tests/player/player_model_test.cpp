// The player model's pure parts: piece texts, read-ahead, option quoting,
// track texts and the number formats sent to mpv.

#include "tevro/player/player_model.h"

#include <gtest/gtest.h>

#include "tevro/player/number_text.h"

using namespace tevro;

TEST(PlayerModelRanges, DownloadedStretchesOfAPieceText) {
    struct Case {
        std::string map;
        std::vector<DownloadedRange> expected;
    };
    const Case cases[] = {
        {"0110", {{0.25, 0.75}}}, {"1101", {{0.0, 0.5}, {0.75, 1.0}}},  {"", {}}, {"000", {}},
        {"1111", {{0.0, 1.0}}},   {"2121", {{0.25, 0.5}, {0.75, 1.0}}}, // pieces being received
                                                                        // count as missing
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlayerModel::ranges(c.map), c.expected) << c.map;
}

TEST(PlayerModelReadahead, ReachesTheEndOfTheStretchAhead) {
    std::string tenToTwentyNine =
        std::string(10, '0') + std::string(20, '1') + std::string(70, '0');
    struct Case {
        std::string map;
        double position;
        double duration;
        double expected;
    };
    const Case cases[] = {
        {"1111", 10, 100, 120},            // everything is there
        {"1011", 30, 100, 3},              // the piece under the position is missing
        {"1111", 10, 0, 10},               // unknown duration
        {"", 10, 100, 10},                 // no piece text
        {tenToTwentyNine, 100, 1000, 120}, // 300 - 100 - 5 = 195, capped
        {"1110000000", 0, 100, 25},        // 30 - 0 - 5
        {"1111111110", 85, 100, 3},        // 90 - 85 - 5 = 0, raised to the floor
        {"1111", 150, 100, 120},           // a position past the end stays in the map
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(PlayerModel::readahead(c.map, c.position, c.duration), c.expected)
            << c.map << " at " << c.position;
}

TEST(PlayerModelEscape, PrefixesTheByteLength) {
    EXPECT_EQ(PlayerModel::escape("a,b"), "%3%a,b");
    EXPECT_EQ(PlayerModel::escape("E01 [1080p].mkv"), "%15%E01 [1080p].mkv");
    EXPECT_EQ(PlayerModel::escape("Серия"), "%10%Серия");
    EXPECT_EQ(PlayerModel::escape(""), "%0%");
}

namespace {

MediaTrack track(std::optional<std::string> language, std::optional<std::string> title) {
    MediaTrack t;
    t.kind = MediaTrack::Kind::audio;
    t.language = std::move(language);
    t.title = std::move(title);
    return t;
}

} // namespace

TEST(PlayerModelTrackTexts, Labels) {
    MediaTrack external = track(std::nullopt, std::nullopt);
    external.external = true;
    external.externalFile = "/films/Film.rus.mka";
    struct Case {
        MediaTrack track;
        int number;
        std::string expected;
    };
    const Case cases[] = {
        {track("rus", "Дубляж"), 1, "Русский — Дубляж"},
        {track("rus", "русский"), 1, "Русский"},
        {track("eng", std::nullopt), 1, "Английский"},
        {track(std::nullopt, "Commentary"), 3, "Commentary"},
        {track(std::nullopt, ""), 2, "Дорожка 2"},
        {track("und", std::nullopt), 2, "Дорожка 2"},
        {external, 4, "Film.rus.mka"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlayerModel::label(c.track, c.number), c.expected);
}

TEST(PlayerModelTrackTexts, Details) {
    auto with = [](std::optional<std::string> codec, std::optional<std::int64_t> channels,
                   bool forced, bool external) {
        MediaTrack t;
        t.codec = std::move(codec);
        t.channels = channels;
        t.forced = forced;
        t.external = external;
        return t;
    };
    struct Case {
        MediaTrack track;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {with("aac", 6, false, true), "AAC · 5.1 · внешняя"},
        {with("eac3", 8, false, false), "EAC3 · 7.1"},
        {with(std::nullopt, 1, false, false), "моно"},
        {with(std::nullopt, 2, false, false), "стерео"},
        {with(std::nullopt, 3, false, false), "3 кан."},
        {with("subrip", 0, true, false), "SUBRIP · форсированные"},
        {with(std::nullopt, std::nullopt, false, false), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlayerModel::detail(c.track), c.expected);
}

TEST(PlayerModelTrackTexts, ShortNames) {
    MediaTrack externalTitled = track("rus", "Film.rus · MKA");
    externalTitled.external = true;
    MediaTrack externalNoLanguage = track(std::nullopt, "Film · MKA");
    externalNoLanguage.external = true;
    MediaTrack codecOnly = track(std::nullopt, std::nullopt);
    codecOnly.codec = "ac3";
    EXPECT_EQ(PlayerModel::shortName(std::nullopt), std::nullopt);
    EXPECT_EQ(PlayerModel::shortName(track("eng", "Commentary")), "Commentary");
    EXPECT_EQ(PlayerModel::shortName(externalTitled), "Русский");
    EXPECT_EQ(PlayerModel::shortName(externalNoLanguage), "Film · MKA");
    EXPECT_EQ(PlayerModel::shortName(track("eng", "")), "Английский");
    EXPECT_EQ(PlayerModel::shortName(codecOnly), "AC3");
    EXPECT_EQ(PlayerModel::shortName(track(std::nullopt, std::nullopt)), std::nullopt);
}

TEST(NumberText, FormatsIndependentOfLocale) {
    EXPECT_EQ(NumberText::fixed(754.6, 3), "754.600");
    EXPECT_EQ(NumberText::fixed(0, 3), "0.000");
    EXPECT_EQ(NumberText::fixed(119.6, 0), "120");
    EXPECT_EQ(NumberText::shortest(5), "5.0");
    EXPECT_EQ(NumberText::shortest(-5), "-5.0");
    EXPECT_EQ(NumberText::shortest(-1.25), "-1.25");
    EXPECT_EQ(NumberText::shortest(7.5), "7.5");
}
