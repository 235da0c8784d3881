#include "tevro/media/media_matcher.h"

#include <thread>

#include <gtest/gtest.h>

#include "tests/support/torrent_files.h"

using namespace tevro;

namespace tevro {
void PrintTo(const EpisodeNumber& n, std::ostream* os) {
    *os << "S" << n.season << "E" << n.episode;
}
} // namespace tevro
using tevro::test::pathsOf;
using tevro::test::torrentFiles;

namespace {

struct NumberCase {
    const char* name;
    std::optional<EpisodeNumber> number;
};

const NumberCase kNumberCases[] = {
    {"Show.S01E02.1080p.mkv", EpisodeNumber{1, 2}},
    {"show s2 e10.mkv", EpisodeNumber{2, 10}},
    {"Show.S01.E02.mkv", EpisodeNumber{1, 2}},
    {"Breaking.Bad.S05E14.Ozymandias.720p.WEB-DL.x264.mkv", EpisodeNumber{5, 14}},
    {"Во все тяжкие.S01E02.1080p.BDRip.mkv", EpisodeNumber{1, 2}},
    {"Doctor.Who.2005.S10E01.mkv", EpisodeNumber{10, 1}},
    {"Show 1x05.avi", EpisodeNumber{1, 5}},
    {"Friends.1x02.The.One.with.the.Sonogram.avi", EpisodeNumber{1, 2}},
    {"Друзья 10x17.avi", EpisodeNumber{10, 17}},
    {"Video.1920x1080.mkv", EpisodeNumber{0, 1080}}, // not season 20
    {"Серия 7.mkv", EpisodeNumber{0, 7}},
    {"Игра престолов - серия 3.mkv", EpisodeNumber{0, 3}},
    {"Сериал.серии.01-02.mkv", EpisodeNumber{0, 1}},
    {"Тёмные начала. Эпизод 4 (2019).mkv", EpisodeNumber{0, 4}},
    {"Episode_12.mp4", EpisodeNumber{0, 12}},
    {"Ep.3.mkv", EpisodeNumber{0, 3}},
    {"Show.E05.x264.mkv", EpisodeNumber{0, 5}},
    {"Show #7.mkv", EpisodeNumber{0, 7}},
    {"Show - 07 [1080p] 2019.mkv", EpisodeNumber{0, 7}},
    {"[SubGroup] Anime - 24 [1080p][HEVC 10bit][AAC 5.1].mkv", EpisodeNumber{0, 24}},
    {"Show 6ch 640kbps 24fps h.265 - 5.mkv", EpisodeNumber{0, 5}},
    {"Movie.2010.1080p.mkv", std::nullopt},
    {"Movie.mkv", std::nullopt},
    {"Серия ٣.mkv", std::nullopt}, // a digit of another script matches but does not parse
};

struct OrderCase {
    const char* what;
    std::vector<std::string> files;
    std::vector<std::string> videos;
};

const OrderCase kOrderCases[] = {
    {"seasons in folders, episodes by number",
     {"Breaking Bad/Season 2/Breaking.Bad.S02E01.mkv",
      "Breaking Bad/Season 1/Breaking.Bad.S01E10.mkv",
      "Breaking Bad/Season 1/Breaking.Bad.S01E02.mkv",
      "Breaking Bad/Season 10/Breaking.Bad.S10E01.mkv",
      "Breaking Bad/Season 1/Breaking.Bad.S01E01.mkv"},
     {"Breaking Bad/Season 1/Breaking.Bad.S01E01.mkv",
      "Breaking Bad/Season 1/Breaking.Bad.S01E02.mkv",
      "Breaking Bad/Season 1/Breaking.Bad.S01E10.mkv",
      "Breaking Bad/Season 2/Breaking.Bad.S02E01.mkv",
      "Breaking Bad/Season 10/Breaking.Bad.S10E01.mkv"}},
    {"Russian seasons and episodes",
     {"Сериал/Сезон 2/Серия 1.mkv", "Сериал/Сезон 1/Серия 10.mkv", "Сериал/Сезон 1/Серия 2.mkv",
      "Сериал/Сезон 1/Серия 1.mkv"},
     {"Сериал/Сезон 1/Серия 1.mkv", "Сериал/Сезон 1/Серия 2.mkv", "Сериал/Сезон 1/Серия 10.mkv",
      "Сериал/Сезон 2/Серия 1.mkv"}},
    {"episode number beats name order",
     {"Show/b.S01E02.mkv", "Show/a.S01E03.mkv", "Show/c.S01E01.mkv"},
     {"Show/c.S01E01.mkv", "Show/b.S01E02.mkv", "Show/a.S01E03.mkv"}},
    {"season before episode in one folder",
     {"Show/Show.S02E01.mkv", "Show/Show 1x10.avi", "Show/Show.S01E02.mkv"},
     {"Show/Show.S01E02.mkv", "Show/Show 1x10.avi", "Show/Show.S02E01.mkv"}},
    {"one name without a number: the folder goes by name",
     {"Film/Ep 10.mkv", "Film/Ep 2.mkv", "Film/Bonus.mkv"},
     {"Film/Bonus.mkv", "Film/Ep 2.mkv", "Film/Ep 10.mkv"}},
    {"a shared number: the folder goes by name",
     {"Show/B.S01E01.mkv", "Show/A.S01E02.mkv", "Show/C.S01E01.mkv"},
     {"Show/A.S01E02.mkv", "Show/B.S01E01.mkv", "Show/C.S01E01.mkv"}},
    {"folders first, whatever the numbers",
     {"Show/B/Show.S01E01.mkv", "Show/A/Show.S01E02.mkv"},
     {"Show/A/Show.S01E02.mkv", "Show/B/Show.S01E01.mkv"}},
    {"top-level files before a folder",
     {"Extras/a.mkv", "Movie.mkv"},
     {"Movie.mkv", "Extras/a.mkv"}},
    {"samples, padding and other kinds left out",
     {"Movie/Sample/movie.mkv", "Movie/sample.mkv", "Movie/Movie.Sample.mkv",
      "pad:Movie/.pad/pad.mkv", "Movie/Movie.srt", "Movie/Rus Sound/Movie.ac3",
      "Movie/Movie.2010.1080p.MKV"},
     {"Movie/Movie.2010.1080p.MKV", "Movie/Sample/movie.mkv"}},
    {"no videos", {"Album/01.flac", "Album/cover.jpg"}, {}},
};

} // namespace

TEST(EpisodeOrder, EpisodeNumbers) {
    for (const NumberCase& c : kNumberCases) {
        EXPECT_EQ(MediaMatcher::episodeNumber(c.name), c.number) << c.name;
    }
}

TEST(EpisodeOrder, EpisodeKeys) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"Show.S01E02.mkv", "s1e2"},          {"Show - S01E02 - Pilot.mkv", "s1e2"},
        {"Show.s01e02.rus.srt", "s1e2"},      {"Show.S01.E02.mkv", "s1e2"},
        {"Show.S10E100.mkv", "s10e100"},      {"Сериал.S03E07.Rus.mka", "s3e7"},
        {"Show.S01 - E02.mkv", std::nullopt}, // one separator at most
        {"Show.1x02.mkv", std::nullopt},      {"Серия 2.mkv", std::nullopt},
    };
    for (const auto& [name, key] : cases)
        EXPECT_EQ(MediaMatcher::episodeKey(name), key) << name;
}

TEST(EpisodeOrder, VideosInViewingOrder) {
    for (const OrderCase& c : kOrderCases)
        EXPECT_EQ(pathsOf(MediaMatcher::videos(torrentFiles(c.files))), c.videos) << c.what;
}

TEST(EpisodeOrder, NextAndPrevious) {
    auto files = torrentFiles({"Show/Season 2/Show.S02E01.mkv", "Show/Season 1/Show.S01E02.mkv",
                               "Show/Season 1/Show.S01E01.mkv", "Show/Subs/Show.S01E01.srt"});
    struct Step {
        std::int64_t from;
        std::optional<std::int64_t> next;
        std::optional<std::int64_t> previous;
    };
    const Step steps[] = {
        {2, 1, std::nullopt},            // first episode
        {1, 0, 2},                       // crosses into the next season
        {0, std::nullopt, 1},            // last episode
        {3, std::nullopt, std::nullopt}, // a subtitle is no video
    };
    auto index = [](const std::optional<TorrentFile>& f) {
        return f ? std::optional<std::int64_t>(f->i) : std::nullopt;
    };
    for (const Step& s : steps) {
        EXPECT_EQ(index(MediaMatcher::next(files[static_cast<size_t>(s.from)], files)), s.next)
            << s.from;
        EXPECT_EQ(index(MediaMatcher::previous(files[static_cast<size_t>(s.from)], files)),
                  s.previous)
            << s.from;
    }
    TorrentFile stranger = files[0];
    stranger.i = 42;
    EXPECT_FALSE(MediaMatcher::next(stranger, files));
}

TEST(EpisodeOrder, SameAnswersFromManyThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> mismatches = 0;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&] {
            for (int round = 0; round < 20; ++round) {
                for (const NumberCase& c : kNumberCases)
                    if (MediaMatcher::episodeNumber(c.name) != c.number)
                        ++mismatches;
                for (const OrderCase& c : kOrderCases)
                    if (pathsOf(MediaMatcher::videos(torrentFiles(c.files))) != c.videos)
                        ++mismatches;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(mismatches, 0);
}
