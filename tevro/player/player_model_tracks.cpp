// The audio and subtitle menus: entries, their texts, selection and the
// remembered choice.

#include "tevro/player/player_model.h"

#include <algorithm>
#include <cctype>

#include <QString>

#include "tevro/core/format.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/player/stream_protocol.h"

namespace tevro {

namespace {

std::string upper(const std::string& text) {
    return QString::fromStdString(text).toUpper().toStdString();
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::string lastComponent(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string join(const std::vector<std::string>& parts, const std::string& separator) {
    std::string out;
    for (const auto& p : parts)
        out += (out.empty() ? "" : separator) + p;
    return out;
}

} // namespace

std::string PlayerModel::label(const MediaTrack& track, int number) {
    std::vector<std::string> parts;
    if (auto name = Format::language(track.language))
        parts.push_back(*name);
    if (track.title && !track.title->empty() &&
        !(!parts.empty() && equalIgnoringCase(parts.front(), *track.title)))
        parts.push_back(*track.title);
    if (!parts.empty())
        return join(parts, " — ");
    if (track.external && track.externalFile)
        return lastComponent(*track.externalFile);
    return "Дорожка " + std::to_string(number);
}

std::optional<std::string> PlayerModel::detail(const MediaTrack& track) {
    std::vector<std::string> parts;
    if (track.codec)
        parts.push_back(upper(*track.codec));
    if (track.channels && *track.channels >= 1) {
        switch (*track.channels) {
        case 1:
            parts.push_back("моно");
            break;
        case 2:
            parts.push_back("стерео");
            break;
        case 6:
            parts.push_back("5.1");
            break;
        case 8:
            parts.push_back("7.1");
            break;
        default:
            parts.push_back(std::to_string(*track.channels) + " кан.");
        }
    }
    if (track.forced)
        parts.push_back("форсированные");
    if (track.external)
        parts.push_back("внешняя");
    if (parts.empty())
        return std::nullopt;
    return join(parts, " · ");
}

std::optional<std::string> PlayerModel::shortName(const std::optional<MediaTrack>& track) {
    if (!track)
        return std::nullopt;
    if (track->title && !track->title->empty()) {
        if (track->external)
            if (auto name = Format::language(track->language))
                return name;
        return track->title;
    }
    if (auto name = Format::language(track->language))
        return name;
    if (track->codec)
        return upper(*track->codec);
    return std::nullopt;
}

std::optional<MediaTrack> PlayerModel::currentAudio() const {
    for (const auto& t : m_tracks)
        if (t.kind == MediaTrack::Kind::audio && t.selected)
            return t;
    return std::nullopt;
}

std::optional<MediaTrack> PlayerModel::currentSubtitle() const {
    for (const auto& t : m_tracks)
        if (t.kind == MediaTrack::Kind::sub && t.selected)
            return t;
    return std::nullopt;
}

namespace {

void appendCoreTracks(std::vector<TrackOption>& out, const std::vector<MediaTrack>& tracks,
                      MediaTrack::Kind kind, const std::string& prefix) {
    int number = 0;
    for (const auto& t : tracks) {
        if (t.kind != kind)
            continue;
        ++number;
        out.push_back({prefix + std::to_string(t.id), PlayerModel::label(t, number),
                       PlayerModel::detail(t), t.selected, TrackOption::Track{t.id}});
    }
}

void appendExternal(std::vector<TrackOption>& out, const std::vector<ExternalTrack>& external,
                    const std::vector<MediaTrack>& tracks, const std::optional<PlayItem>& item) {
    for (const auto& e : external) {
        if (item) {
            std::string url = streamURL(item->torrentID, e.file.i);
            // Already attached: listed among the core's tracks.
            if (std::any_of(tracks.begin(), tracks.end(),
                            [&](const MediaTrack& t) { return t.externalFile == url; }))
                continue;
        }
        out.push_back(
            {"x" + std::to_string(e.file.i), e.title, Format::language(e.language), false, e});
    }
}

} // namespace

std::vector<TrackOption> PlayerModel::audioOptions() const {
    std::vector<TrackOption> out;
    appendCoreTracks(out, m_tracks, MediaTrack::Kind::audio, "a");
    appendExternal(out, m_externalAudio, m_tracks, m_item);
    return out;
}

std::vector<TrackOption> PlayerModel::subtitleOptions() const {
    std::vector<TrackOption> out;
    bool anySelected = std::any_of(m_tracks.begin(), m_tracks.end(), [](const MediaTrack& t) {
        return t.kind == MediaTrack::Kind::sub && t.selected;
    });
    out.push_back({"off", "Выключены", std::nullopt, m_loaded && !anySelected, TrackOption::Off{}});
    appendCoreTracks(out, m_tracks, MediaTrack::Kind::sub, "s");
    appendExternal(out, m_externalSubtitles, m_tracks, m_item);
    return out;
}

void PlayerModel::select(const TrackOption& option, bool audio) {
    if (!m_core || !m_item)
        return;
    quickResume();
    const char* property = audio ? "aid" : "sid";
    auto reloadWith = [&](const std::string& value) {
        if (audio)
            reload(m_position, value, std::nullopt);
        else
            reload(m_position, std::nullopt, value);
    };
    if (auto* t = std::get_if<TrackOption::Track>(&option.source)) {
        if (streamBlocked())
            reloadWith(std::to_string(t->id));
        else
            m_core->set(property, std::to_string(t->id));
    } else if (auto* e = std::get_if<ExternalTrack>(&option.source)) {
        addExternal(*e, audio, true);
    } else {
        if (streamBlocked())
            reloadWith("no");
        else
            m_core->set(property, "no");
    }

    if (!m_engine.settings().rememberTracks)
        return;
    TorrentMeta::TrackChoice choice;
    if (auto* t = std::get_if<TrackOption::Track>(&option.source)) {
        auto kind = audio ? MediaTrack::Kind::audio : MediaTrack::Kind::sub;
        auto found = std::find_if(m_tracks.begin(), m_tracks.end(), [&](const MediaTrack& m) {
            return m.id == t->id && m.kind == kind;
        });
        if (found != m_tracks.end()) {
            choice.language = found->language;
            choice.title = found->title;
            if (found->external) {
                const auto& list = audio ? m_externalAudio : m_externalSubtitles;
                for (const auto& e : list)
                    if (found->externalFile == streamURL(m_item->torrentID, e.file.i)) {
                        choice.externalName = e.title;
                        break;
                    }
            }
        }
    } else if (auto* e = std::get_if<ExternalTrack>(&option.source)) {
        choice.language = e->language;
        choice.title = e->title;
        choice.externalName = e->title;
    } else {
        choice.off = true;
    }
    m_engine.updateMeta(m_item->torrentID, [audio, choice](TorrentMeta& meta) {
        (audio ? meta.audio : meta.subtitle) = choice;
    });
}

void PlayerModel::cycle(bool audio) {
    auto options = audio ? audioOptions() : subtitleOptions();
    if (options.empty())
        return;
    auto selected = std::find_if(options.begin(), options.end(),
                                 [](const TrackOption& o) { return o.selected; });
    size_t next = selected == options.end()
                      ? 0
                      : (static_cast<size_t>(selected - options.begin()) + 1) % options.size();
    select(options[next], audio);
}

} // namespace tevro
