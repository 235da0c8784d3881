#include "tevro/media/media_matcher.h"

#include <gtest/gtest.h>

#include "tests/support/torrent_files.h"

using namespace tevro;
using tevro::test::torrentFiles;

namespace {

struct Expected {
    std::string path;
    std::string title;
    std::optional<std::string> language;
};

struct TrackCase {
    const char* what;
    std::vector<std::string> files;
    std::size_t video; // index into files
    std::vector<Expected> audio;
    std::vector<Expected> subtitles;
};

const TrackCase kTrackCases[] = {
    {"subtitle in Subs/ with the same stem",
     {"Show/Show.S01E02.mkv", "Show/Show.S01E03.mkv", "Show/Subs/Show.S01E02.srt",
      "Show/Subs/Show.S01E03.srt"},
     0,
     {},
     {{"Show/Subs/Show.S01E02.srt", "Show.S01E02 · SRT", std::nullopt}}},
    {"audio in Rus Sound/ by the stem prefix",
     {"Movie/Movie.mkv", "Movie/Trailer.mkv", "Movie/Rus Sound/Movie.Studio X.ac3",
      "Movie/Rus Sound/Movie2.ac3"},
     0,
     {{"Movie/Rus Sound/Movie.Studio X.ac3", "Studio X · AC3", "rus"}},
     {}},
    {"a folder that names the language labels the track",
     {"Movie/Movie.mkv", "Movie/English/Movie.srt"},
     0,
     {},
     {{"Movie/English/Movie.srt", "English · SRT", "eng"}}},
    {"episode keys pair differently named files",
     {"Show/Show - S01E02 - Pilot.mkv", "Show/Show - S01E03 - Second.mkv",
      "Show/Show.s01e02.rus.srt", "Show/Show.s01e03.rus.srt"},
     0,
     {},
     {{"Show/Show.s01e02.rus.srt", "Show.s01e02.rus · SRT", "rus"}}},
    {"a single video takes every track",
     {"Film/Film.2010.mkv", "Film/Audio/Другое название.ac3", "Film/Subs/eng.srt",
      "Film/Film.2010.Sample.mkv"},
     0,
     {{"Film/Audio/Другое название.ac3", "Другое название · AC3", std::nullopt}},
     {{"Film/Subs/eng.srt", "eng · SRT", "eng"}}},
    {"studio folder under Rus Sound/ across seasons",
     {"Сериал/Season 1/Сериал.S01E01.mkv", "Сериал/Season 1/Сериал.S01E02.mkv",
      "Сериал/Season 2/Сериал.S02E01.mkv", "Сериал/Rus Sound/LostFilm/Сериал.S01E01.mka",
      "Сериал/Rus Sound/LostFilm/Сериал.S01E02.mka", "Сериал/Rus Sound/NewStudio/Сериал.S01E01.mka",
      "Сериал/Subs/Eng/Сериал.S01E01.eng.srt"},
     0,
     {{"Сериал/Rus Sound/LostFilm/Сериал.S01E01.mka", "LostFilm · MKA", "rus"},
      {"Сериал/Rus Sound/NewStudio/Сериал.S01E01.mka", "NewStudio · MKA", "rus"}},
     {{"Сериал/Subs/Eng/Сериал.S01E01.eng.srt", "eng · SRT", "eng"}}},
    {"Cyrillic stems and folders",
     {"Фильм/Фильм.mkv", "Фильм/Бонус.mkv", "Фильм/Субтитры/Фильм.Русские.srt",
      "Фильм/Озвучка/Фильм [Гоблин].ac3"},
     0,
     {{"Фильм/Озвучка/Фильм [Гоблин].ac3", "Гоблин · AC3", std::nullopt}},
     {{"Фильм/Субтитры/Фильм.Русские.srt", "Русские · SRT", "rus"}}},
    {"separators after the stem: dot, space, underscore only",
     {"Movie/Movie.mkv", "Movie/Other.mkv", "Movie/Movie_eng.srt", "Movie/Movie eng.ass",
      "Movie/Moviex.srt", "Movie/Movie-eng.srt"},
     0,
     {},
     {{"Movie/Movie eng.ass", "eng · ASS", "eng"}, {"Movie/Movie_eng.srt", "eng · SRT", "eng"}}},
    {"padding files and second videos are never tracks",
     {"Movie/Movie.mkv", "pad:Movie/Movie.srt", "Movie/Movie.Extended.mkv", "Movie/Movie.mka"},
     0,
     {{"Movie/Movie.mka", "Movie · MKA", std::nullopt}},
     {}},
    {"both lists by path, numbers by value",
     {"Movie/Movie.mkv", "Movie/Subs/10.srt", "Movie/Subs/2.srt", "Movie/Sound/10.ac3",
      "Movie/Sound/2.ac3"},
     0,
     {{"Movie/Sound/2.ac3", "2 · AC3", std::nullopt},
      {"Movie/Sound/10.ac3", "10 · AC3", std::nullopt}},
     {{"Movie/Subs/2.srt", "2 · SRT", std::nullopt},
      {"Movie/Subs/10.srt", "10 · SRT", std::nullopt}}},
};

std::vector<Expected> seen(const std::vector<ExternalTrack>& tracks) {
    std::vector<Expected> out;
    for (const ExternalTrack& t : tracks)
        out.push_back({t.file.path, t.title, t.language});
    return out;
}

std::string describe(const std::vector<Expected>& list) {
    std::string out;
    for (const Expected& e : list)
        out += "[" + e.path + " | " + e.title + " | " + e.language.value_or("-") + "] ";
    return out;
}

} // namespace

TEST(ExternalTracks, MatchLabelAndLanguage) {
    for (const TrackCase& c : kTrackCases) {
        auto files = torrentFiles(c.files);
        ExternalTracks tracks = MediaMatcher::externalTracks(files[c.video], files);
        EXPECT_EQ(describe(seen(tracks.audio)), describe(c.audio)) << c.what;
        EXPECT_EQ(describe(seen(tracks.subtitles)), describe(c.subtitles)) << c.what;
    }
}

TEST(ExternalTracks, TracksKeepTheirFiles) {
    auto files = torrentFiles({"Movie/Movie.mkv", "Movie/Rus Sound/Movie.ac3"});
    ExternalTracks tracks = MediaMatcher::externalTracks(files[0], files);
    ASSERT_EQ(tracks.audio.size(), 1u);
    EXPECT_EQ(tracks.audio[0].file, files[1]);
    EXPECT_EQ(tracks.audio[0].id(), 1);
}

TEST(ExternalTracks, LanguageFromPathWords) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"Movie/Movie.RUS.srt", "rus"},
        {"Movie/Rus Sound/Movie.ac3", "rus"},
        {"Movie/Русские субтитры/Movie.srt", "rus"},
        {"Movie/Movie.Рус.srt", "rus"},
        {"Movie/Subs/Movie.en.srt", "eng"},
        {"Movie/Subs/Movie(English).srt", "eng"},
        {"Movie/Английский.srt", "eng"},
        {"Movie/Movie.eng.rus.srt", "rus"}, // the table decides, not the word's place
        {"Movie/Subs/Eng/Movie-fr.srt", "eng"},
        {"Movie/Movie.uk.srt", "ukr"},
        {"Movie/Movie.Укр.ac3", "ukr"},
        {"Anime/Anime.[jap].ass", "jpn"},
        {"Anime/Anime_chs.ass", "chi"},
        {"Movie/Movie.deu.srt", "ger"},
        {"Movie/Movie.fra.srt", "fre"},
        {"Movie/Movie.es.srt", "spa"},
        {"Drama/Drama.Korean.srt", "kor"},
        {"Movie/Russia.srt", std::nullopt},
        {"Movie/Movie.Rendered.srt", std::nullopt},
        {"Movie/Movie.srt", std::nullopt},
    };
    for (const auto& [path, code] : cases) {
        TorrentFile f;
        f.path = path;
        EXPECT_EQ(MediaMatcher::language(f), code) << path;
    }
}

TEST(ExternalTracks, Titles) {
    struct TitleCase {
        const char* path;
        const char* videoStem;
        const char* title;
    };
    const TitleCase cases[] = {
        {"Show/Subs/Show.S01E02.srt", "show.s01e02", "Show.S01E02 · SRT"},
        {"Movie/Rus Sound/Movie.Studio X.ac3", "movie", "Studio X · AC3"},
        {"Movie/Rus Sound/Studio/Movie.(Studio X).ac3", "movie", "Studio · Studio X · AC3"},
        {"Movie/Subs/Rus Subs/Movie.srt", "movie", "Movie · SRT"}, // every folder ignored
        {"Movie.srt", "movie", "Movie · SRT"},                     // no folders at all
        {"Movie/Movie._-.srt", "movie", "Movie._- · SRT"},         // the rest trims to nothing
        {"Фильм/Звук/Фильм.Дубляж.mka", "фильм", "Дубляж · MKA"},
    };
    for (const TitleCase& c : cases) {
        TorrentFile f;
        f.path = c.path;
        EXPECT_EQ(MediaMatcher::title(f, c.videoStem), c.title) << c.path;
    }
}
