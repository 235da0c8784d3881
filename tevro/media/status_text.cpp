#include "tevro/media/status_text.h"

#include <algorithm>

namespace tevro {

std::string statusText(const TorrentStatus& t) {
    if (t.state == "missing")
        return "Файл отсутствует";
    if (!t.error.empty())
        return "Ошибка";
    if (t.moving)
        return "Перемещение";
    if (t.state == "checking") {
        if (!t.paused)
            return "Проверка";
        return t.autoManaged ? "Ожидание проверки" : "Проверка · пауза";
    }
    if (t.state == "metadata")
        return t.paused ? "Пауза" : "Метаданные";
    if (t.paused) {
        if (t.autoManaged)
            return "В очереди";
        return (t.finished || t.seeding) ? "Готово" : "Пауза";
    }
    if (t.seeding)
        return "Раздача";
    if (!t.finished)
        return "Загрузка";
    return t.wanted == 0 ? "Файлы не выбраны" : "Готово";
}

std::string statusSymbol(const TorrentStatus& t) {
    if (!t.error.empty())
        return "exclamationmark.triangle.fill";
    if (t.state == "checking")
        return "arrow.triangle.2.circlepath";
    if (!t.paused) {
        if (t.seeding)
            return "arrow.up.circle.fill";
        return t.finished ? "checkmark.circle.fill" : "arrow.down.circle.fill";
    }
    if (t.finished || t.seeding)
        return "checkmark.circle.fill";
    return t.autoManaged ? "clock" : "pause.circle.fill";
}

std::string resumeTitle(const std::vector<TorrentStatus>& torrents) {
    auto missing = [](const TorrentStatus& t) { return t.state == "missing"; };
    if (!torrents.empty() && std::ranges::all_of(torrents, missing))
        return "Перезапустить";
    if (std::ranges::any_of(torrents, missing))
        return "Запустить";
    return "Возобновить";
}

} // namespace tevro
