#pragma once

// The "Плеер" page: preferred audio and subtitle languages, when subtitles
// are switched on, remembered track choices, resuming, the next episode and
// hardware decoding.

#include "tevro/settings/settings_page_widget.h"

namespace tevro {

class PlayerSettings : public SettingsPageWidget {
    Q_OBJECT
public:
    explicit PlayerSettings(TorrentEngine& engine, QWidget* parent = nullptr);

    // The labels of the subtitle modes, in the order of the enumeration.
    static QStringList subtitleModeLabels();
};

} // namespace tevro
