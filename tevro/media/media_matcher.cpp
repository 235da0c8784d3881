#include "tevro/media/media_matcher.h"

#include <algorithm>
#include <map>

#include "tevro/core/media_kind.h"
#include "tevro/media/localized_compare.h"
#include "tevro/media/media_pattern.h"
#include "tevro/media/media_text.h"

namespace tevro::MediaMatcher {

namespace {

struct Patterns {
    // Tried in order; the first that matches decides.
    QRegularExpression explicitPatterns[2] = {
        MediaPattern::compile(R"(s(\d{1,2})[ ._-]*e(\d{1,4}))", true),
        MediaPattern::compile(R"((?<![a-z0-9])(\d{1,2})x(\d{1,3})(?![0-9]))", true),
    };
    QRegularExpression episodeWord = MediaPattern::compile(
        R"((?<![a-zа-яё])(?:серия|серии|эпизод|episode|ep|e)[ ._#-]*(\d{1,4})(?![0-9]))", true);
    // Resolutions, codecs, years, bit depths, decimals, rates and channel
    // counts, whose digits are never the episode.
    QRegularExpression noise = MediaPattern::compile(
        R"((?:\d{3,4}[pi])|(?:[xh][ .]?26[45])|(?:(?:19|20)\d{2})|(?:\d{1,2}[ .]?bit)|(?:\d\.\d)|(?:\d{1,3}(?:fps|kbps|mbps|ch)))",
        true);
    QRegularExpression bareNumber = MediaPattern::compile(R"((?<![0-9])(\d{1,4})(?![0-9]))", false);
    QRegularExpression episodePattern =
        MediaPattern::compile(R"(s(\d{1,2})[ ._-]?e(\d{1,3}))", true);
};

const Patterns& patterns() {
    static const Patterns p;
    return p;
}

bool isVideoCandidate(const TorrentFile& f) {
    if (f.pad || mediaKindForPath(f.path) != MediaKind::video)
        return false;
    return MediaText::lowerCased(MediaText::lastComponent(f.path)).find("sample") ==
           std::string::npos;
}

} // namespace

std::optional<EpisodeNumber> episodeNumber(std::string_view name) {
    const Patterns& p = patterns();
    QString stem = MediaPattern::toQString(MediaText::stem(name));

    for (const QRegularExpression& re : p.explicitPatterns) {
        QRegularExpressionMatch m = re.match(stem);
        if (!m.hasMatch())
            continue;
        auto season = MediaPattern::parseDecimal(m.capturedView(1));
        auto episode = MediaPattern::parseDecimal(m.capturedView(2));
        if (season && episode)
            return EpisodeNumber{*season, *episode};
    }

    if (QRegularExpressionMatch m = p.episodeWord.match(stem); m.hasMatch())
        if (auto episode = MediaPattern::parseDecimal(m.capturedView(1)))
            return EpisodeNumber{0, *episode};

    QString cleaned = stem;
    cleaned.replace(p.noise, QStringLiteral(" "));
    QRegularExpressionMatch last;
    for (auto it = p.bareNumber.globalMatch(cleaned); it.hasNext();)
        last = it.next();
    if (!last.hasMatch())
        return std::nullopt;
    // Only the last number counts; earlier ones are not tried.
    if (auto episode = MediaPattern::parseDecimal(last.capturedView(1)))
        return EpisodeNumber{0, *episode};
    return std::nullopt;
}

std::optional<std::string> episodeKey(std::string_view name) {
    QRegularExpressionMatch m = patterns().episodePattern.match(MediaPattern::toQString(name));
    if (!m.hasMatch() || m.capturedStart(1) < 0 || m.capturedStart(2) < 0)
        return std::nullopt;
    int season = MediaPattern::parseDecimal(m.capturedView(1)).value_or(0);
    int episode = MediaPattern::parseDecimal(m.capturedView(2)).value_or(0);
    return "s" + std::to_string(season) + "e" + std::to_string(episode);
}

std::vector<TorrentFile> videos(const std::vector<TorrentFile>& files) {
    struct Candidate {
        const TorrentFile* file;
        std::string_view folder;
        std::string_view name;
        std::optional<EpisodeNumber> number;
    };
    std::vector<Candidate> candidates;
    for (const TorrentFile& f : files) {
        if (!isVideoCandidate(f))
            continue;
        std::string_view name = MediaText::lastComponent(f.path);
        candidates.push_back({&f, MediaText::parentFolder(f.path), name, episodeNumber(name)});
    }

    // A folder is episodic when every video in it has a number and no two share one.
    std::map<std::string_view, bool> episodic;
    std::map<std::string_view, std::vector<EpisodeNumber>> numbers;
    for (const Candidate& c : candidates) {
        auto [it, fresh] = episodic.try_emplace(c.folder, true);
        if (!c.number)
            it->second = false;
        else
            numbers[c.folder].push_back(*c.number);
    }
    for (auto& [folder, list] : numbers) {
        std::ranges::sort(list);
        if (std::ranges::adjacent_find(list) != list.end())
            episodic[folder] = false;
    }

    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const Candidate& a, const Candidate& b) {
                         if (a.folder != b.folder)
                             return localizedStandardLess(a.folder, b.folder);
                         if (episodic.at(a.folder) && a.number && b.number)
                             return *a.number < *b.number;
                         return localizedStandardLess(a.name, b.name);
                     });

    std::vector<TorrentFile> out;
    out.reserve(candidates.size());
    for (const Candidate& c : candidates)
        out.push_back(*c.file);
    return out;
}

std::optional<TorrentFile> next(const TorrentFile& after, const std::vector<TorrentFile>& files) {
    std::vector<TorrentFile> list = videos(files);
    auto it = std::ranges::find(list, after.i, &TorrentFile::i);
    if (it == list.end() || std::next(it) == list.end())
        return std::nullopt;
    return *std::next(it);
}

std::optional<TorrentFile> previous(const TorrentFile& before,
                                    const std::vector<TorrentFile>& files) {
    std::vector<TorrentFile> list = videos(files);
    auto it = std::ranges::find(list, before.i, &TorrentFile::i);
    if (it == list.end() || it == list.begin())
        return std::nullopt;
    return *std::prev(it);
}

} // namespace tevro::MediaMatcher
