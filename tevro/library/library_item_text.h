#pragma once

// The texts a library item (card, list row, featured item) shows for one
// torrent, made by one set of rules: caption by media kind, size text,
// open-or-watch label, resume wording, progress fraction and its wording.
// Items compare these, not the raw records, to know whether to repaint.

#include <optional>
#include <string>

#include <QString>

#include "tevro/core/torrent_status.h"
#include "tevro/media/media_presentation.h"

namespace tevro {

struct LibraryItemText {
    QString name;    // the raw torrent name (tooltips)
    QString title;   // the cleaned-up title
    QString caption; // subtitle, else a word for the kind
    std::optional<QString> quality;
    bool video = false;
    QString watchTitle;      // "Смотреть" or "Открыть"
    std::string watchSymbol; // "play.fill" or "folder"
    QString sizeText;        // wanted, else total
    double fraction = 0;     // displayProgress
    QString percent;         // Format::percent(fraction)
    QString progressText;    // card meta line: checking %, "Готово" or the percentage
    QString cardRateText;    // "↓ 1 МБ/с" or empty
    QString rowRateText;     // checking speed, download rate, "Готово" or "—"
    QString timeLeftText;    // "Осталось: …" while checking, else empty
    QString statusText;
    std::string statusSymbol;
    bool hasError = false;
    bool finishedOrSeeding = false;
    bool checking = false;
    bool pausedManually = false; // paused and not auto-managed
    QString resumeWording; // "Возобновить", "Перезапустить" or "Пауза"
    QString pauseSymbolName;
    QString pauseLabel;      // the pause button's accessible label
    QString checkingMetrics; // CheckingMetrics' accessible text while checking
    QString eyebrow;         // the featured item's upper-case line

    static LibraryItemText make(const TorrentStatus& torrent,
                                const MediaPresentation& presentation);
    static LibraryItemText make(const TorrentStatus& torrent);

    static QString captionFor(const MediaPresentation& presentation);
    static QString sizeTextFor(const TorrentStatus& torrent);
    static QString resumeWordingFor(const TorrentStatus& torrent);

    // "Title, Загрузка, 42%": the card picture's accessible label.
    QString cardLabel() const;

    bool operator==(const LibraryItemText&) const = default;
};

} // namespace tevro
