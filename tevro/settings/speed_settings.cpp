#include "tevro/settings/speed_settings.h"

#include "tevro/settings/settings_group.h"
#include "tevro/settings/settings_row.h"
#include "tevro/settings/settings_switch.h"

namespace tevro {

SpeedSettings::SpeedSettings(TorrentEngine& engine, QWidget* parent)
    : SettingsPageWidget(engine, parent) {
    setObjectName(QStringLiteral("page:speed"));
    auto* main = addGroup(QStringLiteral("Основные лимиты"));
    main->add(rateRow(QStringLiteral("Загрузка"), QStringLiteral("Лимит загрузки"),
                      &AppSettings::downloadLimitKiB));
    main->add(new SettingsDivider);
    main->add(rateRow(QStringLiteral("Отдача"), QStringLiteral("Лимит отдачи"),
                      &AppSettings::uploadLimitKiB));

    auto* alt = addGroup(QStringLiteral("Альтернативные лимиты"));
    alt->add(makeSwitch(QStringLiteral("Использовать альтернативные лимиты"),
                        &AppSettings::altSpeedEnabled));
    alt->add(new SettingsDivider);
    alt->add(rateRow(QStringLiteral("Загрузка"), QStringLiteral("Альтернативный лимит загрузки"),
                     &AppSettings::altDownloadLimitKiB));
    alt->add(new SettingsDivider);
    alt->add(rateRow(QStringLiteral("Отдача"), QStringLiteral("Альтернативный лимит отдачи"),
                     &AppSettings::altUploadLimitKiB));

    auto* connections = addGroup(QStringLiteral("Соединения"));
    connections->add(numberRow(QStringLiteral("Максимум соединений"),
                               QStringLiteral("Максимум соединений"), &AppSettings::maxConnections,
                               QString(), true));
}

} // namespace tevro
