#pragma once

// The "Сеть" page: encryption and leecher blocking, the incoming port with a
// random pick, discovery and transport switches, the extra tracker lists with
// the state of the public list and its refresh, and the proxy.

#include <cstdint>
#include <functional>

#include "tevro/settings/settings_page_widget.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tevro {

class NetworkSettings : public SettingsPageWidget {
    Q_OBJECT
public:
    explicit NetworkSettings(TorrentEngine& engine, QWidget* parent = nullptr);

    // The ports "Случайный" draws from, both ends included.
    static constexpr std::int64_t kRandomPortLow = 20000;
    static constexpr std::int64_t kRandomPortHigh = 60000;

    static QStringList encryptionLabels();
    static QStringList proxyKindLabels();

    // The action of "Случайный": a uniformly drawn port written to the settings.
    void randomPort();
    // The action of "Обновить": fetches the public tracker list now.
    void refresh();
    // The public list's state when the engine reports none: "Встроенный", or
    // the number of fetched trackers and the time of the fetch.
    QString fetchedText() const;

    QLabel* statusLabel() const { return m_status; }
    QPushButton* refreshButton() const { return m_refresh; }
    QPlainTextEdit* customTrackers() const { return m_custom; }

private:
    QLabel* m_status = nullptr;
    QPushButton* m_refresh = nullptr;
    QPlainTextEdit* m_custom = nullptr;
};

} // namespace tevro
