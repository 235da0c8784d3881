#pragma once

// The common ground of the four settings pages: a column of groups 22 apart,
// bound to the engine's settings. Every control reads its field when it is
// drawn and writes the whole settings record back through the engine when
// the user commits a change; the page shows the stored values again whenever
// the engine's settings change, from here or from elsewhere.

#include <cstdint>
#include <functional>
#include <vector>

#include <QWidget>

#include "tevro/core/app_settings.h"
#include "tevro/engine/torrent_engine.h"

class QLineEdit;
class QVBoxLayout;

namespace tevro {

class SettingsChoice;
class SettingsGroup;
class SettingsNumber;
class SettingsRow;
class SettingsStepper;
class SettingsSwitch;

class SettingsPageWidget : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPageWidget(TorrentEngine& engine, QWidget* parent = nullptr);

    TorrentEngine& engine() const { return m_engine; }
    // Shows the stored values in every control.
    void sync();

    // Writes one edit: the current settings with `edit` applied. A text with
    // a line break is refused with the settings' own message, shown as the
    // engine's transient message; returns whether the value was taken.
    bool write(const std::function<void(AppSettings&)>& edit);

protected:
    SettingsGroup* addGroup(const QString& title);
    // Runs `sync` now and whenever the settings change.
    void onSync(std::function<void()> sync);

    template <class T> std::function<T()> getter(T AppSettings::*field) {
        return [this, field] { return m_engine.settings().*field; };
    }
    template <class T> std::function<void(T)> setter(T AppSettings::*field) {
        return [this, field](T value) { write([&](AppSettings& s) { s.*field = value; }); };
    }

    SettingsSwitch* makeSwitch(const QString& title, bool AppSettings::*field);
    SettingsRow* numberRow(const QString& rowTitle, const QString& title,
                           std::int64_t AppSettings::*field, const QString& unit, bool unlimited);
    // A rate in KiB/s: what is entered above the largest rate the session
    // takes is stored as that rate.
    SettingsRow* rateRow(const QString& rowTitle, const QString& title,
                         std::int64_t AppSettings::*field);
    SettingsRow* stepperRow(const QString& title, std::int64_t AppSettings::*field,
                            std::int64_t lower, std::int64_t upper);
    template <class E>
    SettingsRow* choiceRow(const QString& rowTitle, const QString& title, E AppSettings::*field,
                           const QStringList& labels) {
        return choiceRowIndexed(
            rowTitle, title, labels, [this, field] { return int(m_engine.settings().*field); },
            [this, field](int i) { write([&](AppSettings& s) { s.*field = E(i); }); });
    }
    // A single-line text field, 240 wide, written on every edit.
    QLineEdit* makeTextField(const QString& accessibleName, std::string AppSettings::*field,
                             bool password = false);

private:
    SettingsRow* choiceRowIndexed(const QString& rowTitle, const QString& title,
                                  const QStringList& labels, std::function<int()> get,
                                  std::function<void(int)> set);

    TorrentEngine& m_engine;
    QVBoxLayout* m_column;
    std::vector<std::function<void()>> m_syncs;
};

} // namespace tevro
