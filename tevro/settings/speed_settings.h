#pragma once

// The "Скорость" page: the main and the alternative rate limits with the
// switch that selects the alternative pair, and the global connection limit.

#include "tevro/settings/settings_page_widget.h"

namespace tevro {

class SpeedSettings : public SettingsPageWidget {
    Q_OBJECT
public:
    explicit SpeedSettings(TorrentEngine& engine, QWidget* parent = nullptr);
};

} // namespace tevro
