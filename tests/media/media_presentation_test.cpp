#include "tevro/media/media_presentation.h"

#include <gtest/gtest.h>

using namespace tevro;

namespace {

struct PresentationCase {
    const char* name;
    const char* title;
    std::optional<std::string> year;
    std::optional<std::string> quality;
    std::optional<std::string> episode;
    MediaKind kind;
    const char* subtitle;
};

const std::nullopt_t none = std::nullopt;

const PresentationCase kCases[] = {
    {"Movie.Name.2010.1080p.BluRay.x264.mkv", "Movie Name", "2010", "1080p", none, MediaKind::video,
     "2010 · 1080p"},
    {"The.Show.S02.720p.WEB-DL", "The Show", none, "720p", "Сезон 2", MediaKind::video,
     "Сезон 2 · 720p"},
    {"Show_S01E05_[2160p]", "Show", none, "4K", "Сезон 1 · Серия 5", MediaKind::video,
     "Сезон 1 · Серия 5 · 4K"},
    {"1917.mkv", "1917", none, none, none, MediaKind::video, ""},
    {"2012.2009.mkv", "2012", "2009", none, none, MediaKind::video, "2009"},
    {"S01E01.mkv", "S01E01", none, none, "Сезон 1 · Серия 1", MediaKind::video,
     "Сезон 1 · Серия 1"},
    {"Artist - Album (1999).flac", "Artist - Album (1999)", "1999", none, none, MediaKind::audio,
     "1999"},
    {"Some.Document.pdf", "Some.Document", none, none, none, MediaKind::text, ""},
    {"Home.Video.mkv", "Home Video", none, none, none, MediaKind::video, ""},
    {"[Group] - 1080p.mkv", "Group", none, "1080p", none, MediaKind::video, "1080p"},
    {"[1080p].mkv", "[1080p]", none, "1080p", none, MediaKind::video, "1080p"},
    {"Ходячие.мертвецы.S11E05.1080p.rus.LostFilm.TV.mkv", "Ходячие мертвецы", none, "1080p",
     "Сезон 11 · Серия 5", MediaKind::video, "Сезон 11 · Серия 5 · 1080p"},
    {"Игра престолов.Game.of.Thrones.S08.2019.WEB-DL.1080p", "Игра престолов Game of Thrones",
     "2019", "1080p", "Сезон 8", MediaKind::video, "2019 · Сезон 8 · 1080p"},
    {"Во все тяжкие (Breaking Bad) Сезон 1-5 [2008-2013, BDRip 720p]",
     "Во все тяжкие (Breaking Bad) Сезон 1-5", "2008", "720p", none, MediaKind::video,
     "2008 · 720p"},
    {"Breaking.Bad.S05E14.Ozymandias.720p.WEB-DL.x264.mkv", "Breaking Bad", none, "720p",
     "Сезон 5 · Серия 14", MediaKind::video, "Сезон 5 · Серия 14 · 720p"},
    {"Show.s1.e2.1080P.mkv", "Show", none, "1080p", "Сезон 1 · Серия 2", MediaKind::video,
     "Сезон 1 · Серия 2 · 1080p"},
    {"Concert.1080i.HDTV.ts", "Concert", none, "1080I", none, MediaKind::video, "1080I"},
    {"Nature.4k.HEVC", "Nature", none, "4K", none, MediaKind::video, "4K"},
    {"Documentary.H.265", "Documentary", none, none, none, MediaKind::video, ""},
    {"Фото 2015", "Фото 2015", "2015", none, none, MediaKind::other, "2015"},
    {"Кино1080p.mkv", "Кино1080p", none, none, none, MediaKind::video, ""}, // a letter before
    {"Русская_музыка_2001.mp3", "Русская_музыка_2001", "2001", none, none, MediaKind::audio,
     "2001"},
    {"  Spaced.mkv", "Spaced", none, none, none, MediaKind::video, ""},
};

} // namespace

TEST(MediaPresentation, ReleaseNames) {
    for (const PresentationCase& c : kCases) {
        MediaPresentation p(c.name);
        EXPECT_EQ(p.title, c.title) << c.name;
        EXPECT_EQ(p.year, c.year) << c.name;
        EXPECT_EQ(p.quality, c.quality) << c.name;
        EXPECT_EQ(p.episode, c.episode) << c.name;
        EXPECT_EQ(p.kind, c.kind) << c.name;
        EXPECT_EQ(p.subtitle(), c.subtitle) << c.name;
    }
}

TEST(MediaPresentation, EqualByValue) {
    EXPECT_EQ(MediaPresentation("Show.S01E02.mkv"), MediaPresentation("Show.S01E02.mkv"));
    EXPECT_NE(MediaPresentation("Show.S01E02.mkv"), MediaPresentation("Show.S01E03.mkv"));
    EXPECT_EQ(MediaPresentation().kind, MediaKind::other);
}
