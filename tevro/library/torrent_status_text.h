#pragma once

// The status word and symbol of a torrent, and the resume title of a group,
// so that the same torrent reads the same in every view.

#include <string>
#include <vector>

#include "tevro/core/torrent_status.h"

namespace tevro {

class TorrentStatusText {
public:
    TorrentStatusText() = delete;

    // "Загрузка", "Пауза", "Ошибка", ...: the first rule that applies.
    static std::string statusText(const TorrentStatus& torrent);
    // Every word statusText() gives, for views that must fit them all.
    static const std::vector<std::string>& statusTexts();
    // The symbol name (see Symbols) that goes with the status.
    static std::string statusSymbol(const TorrentStatus& torrent);
    // "Перезапустить" when every torrent's files are missing, "Запустить"
    // when some are, else "Возобновить".
    static std::string resumeTitle(const std::vector<TorrentStatus>& torrents);
};

} // namespace tevro
