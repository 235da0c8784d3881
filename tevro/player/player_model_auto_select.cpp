// The automatic track choice after a file loads: the torrent's remembered
// choice first, then the preferred languages, then the subtitle mode.

#include "tevro/player/player_model.h"

#include <algorithm>

#include <QString>

#include "tevro/core/app_settings.h"
#include "tevro/engine/torrent_engine.h"

namespace tevro {

namespace {

bool preferred(const std::optional<std::string>& language, const std::vector<std::string>& list) {
    if (!language)
        return false;
    std::string lower = QString::fromStdString(*language).toLower().toStdString();
    return std::find(list.begin(), list.end(), lower) != list.end();
}

// A remembered track: same language and title first, then same language.
std::optional<MediaTrack> match(const std::vector<MediaTrack>& tracks,
                                const TorrentMeta::TrackChoice& choice) {
    for (const auto& t : tracks)
        if (t.language == choice.language && t.title && choice.title && *t.title == *choice.title)
            return t;
    for (const auto& t : tracks)
        if (t.language && choice.language && *t.language == *choice.language)
            return t;
    return std::nullopt;
}

} // namespace

void PlayerModel::autoSelect() {
    if (m_autoSelected || !m_item || !m_core)
        return;
    m_autoSelected = true;

    const AppSettings& settings = m_engine.settings();
    std::optional<TorrentMeta> meta;
    if (settings.rememberTracks)
        if (auto it = m_engine.meta().find(m_item->torrentID); it != m_engine.meta().end())
            meta = it->second;

    std::vector<MediaTrack> audioTracks;
    std::vector<MediaTrack> subtitleTracks;
    for (const auto& t : m_tracks) {
        if (t.kind == MediaTrack::Kind::audio)
            audioTracks.push_back(t);
        else if (t.kind == MediaTrack::Kind::sub)
            subtitleTracks.push_back(t);
    }
    auto audioPreferred = AppSettings::split(settings.audioLanguages);
    auto subtitlePreferred = AppSettings::split(settings.subtitleLanguages);
    std::optional<std::string> audioLanguage;
    if (auto current = currentAudio())
        audioLanguage = current->language;

    // Audio: the first step that applies decides.
    [&] {
        if (meta && meta->audio && meta->audio->externalName) {
            for (const auto& e : m_externalAudio)
                if (e.title == *meta->audio->externalName) {
                    addExternal(e, true, true);
                    audioLanguage = e.language;
                    return;
                }
        }
        if (meta && meta->audio && !meta->audio->off) {
            if (auto t = match(audioTracks, *meta->audio)) {
                m_core->set("aid", std::to_string(t->id));
                audioLanguage = t->language;
                return;
            }
        }
        if (audioLanguage && preferred(audioLanguage, audioPreferred))
            return;
        std::vector<MediaTrack> candidates;
        for (const auto& t : audioTracks)
            if (preferred(t.language, audioPreferred))
                candidates.push_back(t);
        if (!candidates.empty()) {
            auto chosen = std::find_if(candidates.begin(), candidates.end(),
                                       [](const MediaTrack& t) { return t.isDefault; });
            const MediaTrack& t = chosen != candidates.end() ? *chosen : candidates.front();
            m_core->set("aid", std::to_string(t.id));
            audioLanguage = t.language;
            return;
        }
        bool anyLanguage = std::any_of(audioTracks.begin(), audioTracks.end(),
                                       [](const MediaTrack& t) { return t.language.has_value(); });
        if (!anyLanguage) {
            for (const auto& e : m_externalAudio)
                if (preferred(e.language, audioPreferred)) {
                    addExternal(e, true, true);
                    audioLanguage = e.language;
                    return;
                }
        }
    }();

    // Subtitles.
    if (meta && meta->subtitle) {
        const auto& choice = *meta->subtitle;
        if (choice.off) {
            m_core->set("sid", "no");
            return;
        }
        if (choice.externalName) {
            for (const auto& e : m_externalSubtitles)
                if (e.title == *choice.externalName) {
                    addExternal(e, false, true);
                    return;
                }
        }
        if (auto t = match(subtitleTracks, choice))
            m_core->set("sid", std::to_string(t->id));
        return;
    }

    std::vector<MediaTrack> embedded;
    for (const auto& t : subtitleTracks)
        if (preferred(t.language, subtitlePreferred))
            embedded.push_back(t);
    std::vector<ExternalTrack> external;
    for (const auto& e : m_externalSubtitles)
        if (!e.language || preferred(e.language, subtitlePreferred))
            external.push_back(e);

    auto pickSubtitle = [&] {
        if (!embedded.empty()) {
            auto full = std::find_if(embedded.begin(), embedded.end(),
                                     [](const MediaTrack& t) { return !t.forced; });
            const MediaTrack& t = full != embedded.end() ? *full : embedded.front();
            m_core->set("sid", std::to_string(t.id));
        } else if (!external.empty()) {
            addExternal(external.front(), false, true);
        }
    };
    auto forcedOnly = [&] {
        auto forced = std::find_if(embedded.begin(), embedded.end(),
                                   [](const MediaTrack& t) { return t.forced; });
        m_core->set("sid", forced != embedded.end() ? std::to_string(forced->id) : "no");
    };

    switch (settings.subtitleMode) {
    case SubtitleMode::never:
        m_core->set("sid", "no");
        break;
    case SubtitleMode::always:
        pickSubtitle();
        break;
    case SubtitleMode::autoMode:
        if (audioLanguage) {
            if (preferred(audioLanguage, audioPreferred))
                forcedOnly();
            else
                pickSubtitle();
        } else if (audioPreferred.empty()) {
            pickSubtitle();
        } else if (audioTracks.size() <= 1) {
            forcedOnly();
        } else {
            pickSubtitle();
        }
        break;
    }
}

} // namespace tevro
