#include "tevro/library/torrent_status_text.h"

#include <algorithm>

namespace tevro {

std::string TorrentStatusText::statusText(const TorrentStatus& t) {
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
        if (t.finished || t.seeding)
            return "Готово";
        return "Пауза";
    }
    if (t.seeding)
        return "Раздача";
    if (!t.finished)
        return "Загрузка";
    if (t.wanted == 0)
        return "Файлы не выбраны";
    return "Готово";
}

const std::vector<std::string>& TorrentStatusText::statusTexts() {
    static const std::vector<std::string> all = {
        "Файл отсутствует",  "Ошибка",     "Перемещение",     "Проверка",  "Проверка · пауза",
        "Ожидание проверки", "Метаданные", "Пауза",           "В очереди", "Готово",
        "Раздача",           "Загрузка",   "Файлы не выбраны"};
    return all;
}

std::string TorrentStatusText::statusSymbol(const TorrentStatus& t) {
    if (!t.error.empty())
        return "exclamationmark.triangle.fill";
    if (t.state == "checking")
        return "arrow.triangle.2.circlepath";
    if (!t.paused) {
        if (t.seeding)
            return "arrow.up.circle.fill";
        if (!t.finished)
            return "arrow.down.circle.fill";
        return "checkmark.circle.fill";
    }
    if (t.finished || t.seeding)
        return "checkmark.circle.fill";
    if (t.autoManaged)
        return "clock";
    return "pause.circle.fill";
}

std::string TorrentStatusText::resumeTitle(const std::vector<TorrentStatus>& torrents) {
    auto missing = [](const TorrentStatus& t) { return t.state == "missing"; };
    if (!torrents.empty() && std::all_of(torrents.begin(), torrents.end(), missing))
        return "Перезапустить";
    if (std::any_of(torrents.begin(), torrents.end(), missing))
        return "Запустить";
    return "Возобновить";
}

} // namespace tevro
