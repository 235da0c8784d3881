#include "tevro/settings/player_settings.h"

#include <QLineEdit>

#include "tevro/settings/settings_group.h"
#include "tevro/settings/settings_row.h"
#include "tevro/settings/settings_switch.h"

namespace tevro {

QStringList PlayerSettings::subtitleModeLabels() {
    return {QStringLiteral("Если аудио на другом языке"), QStringLiteral("Всегда"),
            QStringLiteral("Никогда")};
}

PlayerSettings::PlayerSettings(TorrentEngine& engine, QWidget* parent)
    : SettingsPageWidget(engine, parent) {
    setObjectName(QStringLiteral("page:player"));
    auto* tracks = addGroup(QStringLiteral("Дорожки"));
    tracks->add(new SettingsRow(
        QStringLiteral("Языки аудио"),
        makeTextField(QStringLiteral("Языки аудио"), &AppSettings::audioLanguages)));
    tracks->add(new SettingsDivider);
    tracks->add(new SettingsRow(
        QStringLiteral("Языки субтитров"),
        makeTextField(QStringLiteral("Языки субтитров"), &AppSettings::subtitleLanguages)));
    tracks->add(new SettingsDivider);
    tracks->add(choiceRow(QStringLiteral("Включать субтитры"), QStringLiteral("Включать субтитры"),
                          &AppSettings::subtitleMode, subtitleModeLabels()));
    tracks->add(new SettingsDivider);
    tracks->add(
        makeSwitch(QStringLiteral("Запоминать выбор для сериала"), &AppSettings::rememberTracks));

    auto* playback = addGroup(QStringLiteral("Воспроизведение"));
    playback->add(
        makeSwitch(QStringLiteral("Продолжать с места остановки"), &AppSettings::resumePlayback));
    playback->add(new SettingsDivider);
    playback->add(
        makeSwitch(QStringLiteral("Следующая серия автоматически"), &AppSettings::autoplayNext));
    playback->add(new SettingsDivider);
    playback->add(
        makeSwitch(QStringLiteral("Аппаратное декодирование"), &AppSettings::hardwareDecoding));
}

} // namespace tevro
