// External audio and subtitle tracks of a video (part of MediaMatcher).

#include <algorithm>
#include <array>
#include <set>
#include <string_view>
#include <utility>

#include "tevro/core/media_kind.h"
#include "tevro/media/localized_compare.h"
#include "tevro/media/media_matcher.h"
#include "tevro/media/media_text.h"

namespace tevro::MediaMatcher {

namespace {

struct LanguageWords {
    std::string_view code;
    std::set<std::string_view> words;
};

// Tried in this order: the table, not the word's place in the path, decides
// between languages.
const std::array<LanguageWords, 9>& languageTokens() {
    static const std::array<LanguageWords, 9> table = {{
        {"rus", {"rus", "ru", "russian", "рус", "русский", "русские"}},
        {"eng", {"eng", "en", "english", "англ", "английский"}},
        {"ukr", {"ukr", "ua", "uk", "ukrainian", "укр"}},
        {"jpn", {"jpn", "jap", "ja", "japanese"}},
        {"chi", {"chi", "chs", "cht", "zh", "chinese", "zho"}},
        {"ger", {"ger", "deu", "de", "german"}},
        {"fre", {"fre", "fra", "fr", "french"}},
        {"spa", {"spa", "es", "spanish"}},
        {"kor", {"kor", "ko", "korean"}},
    }};
    return table;
}

// Folders that only say what kind of track lies in them, so they make no label.
const std::set<std::string, std::less<>>& ignoredFolders() {
    static const std::set<std::string, std::less<>> folders = {
        "rus sound", "rus sounds", "sound",     "sounds", "audio",    "audios",
        "rus subs",  "subs",       "subtitles", "sub",    "eng subs", "eng sound",
        "озвучка",   "звук",       "субтитры",  "rus",    "eng",
    };
    return folders;
}

bool startsWithStemAndSeparator(std::string_view stem, std::string_view videoStem) {
    if (stem.size() <= videoStem.size() || !stem.starts_with(videoStem))
        return false;
    char next = stem[videoStem.size()];
    return next == '.' || next == ' ' || next == '_';
}

} // namespace

std::string title(const TorrentFile& file, std::string_view videoStem) {
    std::vector<std::string> labels;

    std::vector<std::string_view> parts = MediaText::components(file.path);
    // Between the torrent's top folder and the file name, deepest first.
    if (parts.size() > 2) {
        for (std::size_t k = parts.size() - 2; k >= 1; --k) {
            if (!ignoredFolders().contains(MediaText::lowerCased(parts[k]))) {
                labels.emplace_back(parts[k]);
                break;
            }
        }
    }

    std::string_view name = MediaText::lastComponent(file.path);
    std::string_view stem = MediaText::stem(name);
    std::string lowerStem = MediaText::lowerCased(stem);
    if (lowerStem.starts_with(videoStem) &&
        MediaText::characterCount(lowerStem) > MediaText::characterCount(videoStem)) {
        std::string_view rest =
            MediaText::stem(MediaText::dropCharacters(name, MediaText::characterCount(videoStem)));
        rest = MediaText::trim(rest, " ._-[]()");
        if (!rest.empty())
            labels.emplace_back(rest);
    }

    if (labels.empty())
        labels.emplace_back(stem);

    std::string out;
    for (const std::string& label : labels) {
        out += label;
        out += " · ";
    }
    out += MediaText::upperCased(MediaText::extension(name));
    return out;
}

std::optional<std::string> language(const TorrentFile& file) {
    std::string lower = MediaText::lowerCased(file.path);
    std::vector<std::string_view> pieces = MediaText::split(lower, " ./_-[]()");
    for (const LanguageWords& entry : languageTokens())
        for (std::string_view piece : pieces)
            if (entry.words.contains(piece))
                return std::string(entry.code);
    return std::nullopt;
}

ExternalTracks externalTracks(const TorrentFile& video, const std::vector<TorrentFile>& files) {
    const std::string videoStem =
        MediaText::lowerCased(MediaText::stem(MediaText::lastComponent(video.path)));
    const std::optional<std::string> videoKey = episodeKey(MediaText::lastComponent(video.path));
    const bool singleVideo = videos(files).size() == 1;

    ExternalTracks out;
    for (const TorrentFile& f : files) {
        if (f.pad)
            continue;
        MediaKind kind = mediaKindForPath(f.path);
        if (kind != MediaKind::audio && kind != MediaKind::subtitle)
            continue;
        std::string_view name = MediaText::lastComponent(f.path);
        std::string stem = MediaText::lowerCased(MediaText::stem(name));
        bool belongs = stem == videoStem || startsWithStemAndSeparator(stem, videoStem) ||
                       (videoKey && episodeKey(name) == videoKey) || singleVideo;
        if (!belongs)
            continue;
        ExternalTrack track{f, title(f, videoStem), language(f)};
        (kind == MediaKind::audio ? out.audio : out.subtitles).push_back(std::move(track));
    }

    auto byPath = [](const ExternalTrack& a, const ExternalTrack& b) {
        return localizedStandardLess(a.file.path, b.file.path);
    };
    std::stable_sort(out.audio.begin(), out.audio.end(), byPath);
    std::stable_sort(out.subtitles.begin(), out.subtitles.end(), byPath);
    return out;
}

} // namespace tevro::MediaMatcher
