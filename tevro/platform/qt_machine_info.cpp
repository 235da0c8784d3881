#include "tevro/platform/qt_machine_info.h"

#include <QDir>
#include <QLocale>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimeZone>

namespace tevro {

std::string QtMachineInfo::regionCode() const {
    QLocale locale = QLocale::system();
    if (locale.territory() == QLocale::AnyTerritory)
        return {};
    return QLocale::territoryToCode(locale.territory()).toStdString();
}

std::string QtMachineInfo::timeZoneId() const {
    return QTimeZone::systemTimeZoneId().toStdString();
}

std::string QtMachineInfo::homePath() const {
    return QDir::homePath().toStdString();
}

std::string QtMachineInfo::downloadsPath() const {
    QString path = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (path.isEmpty())
        path = QDir::homePath() + "/Downloads";
    return path.toStdString();
}

std::string QtMachineInfo::dataLocation() const {
    QString path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (path.isEmpty())
        path = QDir::homePath() + "/.local/share";
    return path.toStdString();
}

std::uint64_t QtMachineInfo::randomUniform(std::uint64_t upper) {
    if (upper == UINT64_MAX)
        return QRandomGenerator::system()->generate64();
    return QRandomGenerator::system()->bounded(static_cast<quint64>(upper) + 1);
}

} // namespace tevro
