#include "tevro/library/library_item_text.h"

#include <algorithm>
#include <cmath>

#include "tevro/core/format.h"
#include "tevro/library/checking_metrics.h"
#include "tevro/library/torrent_status_text.h"

namespace tevro {

namespace {
QString q(const std::string& s) {
    return QString::fromStdString(s);
}
QString rate(std::int64_t bytesPerSecond) {
    return q(Format::bytes(bytesPerSecond)) + QStringLiteral("/с");
}
} // namespace

QString LibraryItemText::captionFor(const MediaPresentation& p) {
    const std::string subtitle = p.subtitle();
    if (!subtitle.empty())
        return q(subtitle);
    switch (p.kind) {
    case MediaKind::video:
        return QStringLiteral("Видео");
    case MediaKind::audio:
        return QStringLiteral("Музыка");
    case MediaKind::subtitle:
    case MediaKind::text:
        return QStringLiteral("Документ");
    case MediaKind::image:
        return QStringLiteral("Изображения");
    case MediaKind::archive:
        return QStringLiteral("Архив");
    case MediaKind::other:
        return QStringLiteral("Файлы");
    }
    return QStringLiteral("Файлы");
}

QString LibraryItemText::sizeTextFor(const TorrentStatus& t) {
    return q(Format::bytes(std::max<std::int64_t>(0, t.wanted >= 1 ? t.wanted : t.total)));
}

QString LibraryItemText::resumeWordingFor(const TorrentStatus& t) {
    if (t.paused && !t.autoManaged)
        return t.state == "missing" ? QStringLiteral("Перезапустить")
                                    : QStringLiteral("Возобновить");
    return QStringLiteral("Пауза");
}

LibraryItemText LibraryItemText::make(const TorrentStatus& t) {
    return make(t, MediaPresentation(t.name));
}

LibraryItemText LibraryItemText::make(const TorrentStatus& t, const MediaPresentation& p) {
    LibraryItemText x;
    x.name = q(t.name);
    x.title = q(p.title);
    x.caption = captionFor(p);
    if (p.quality)
        x.quality = q(*p.quality);
    x.video = p.kind == MediaKind::video;
    x.watchTitle = x.video ? QStringLiteral("Смотреть") : QStringLiteral("Открыть");
    x.watchSymbol = x.video ? "play.fill" : "folder";
    x.sizeText = sizeTextFor(t);
    x.fraction = t.displayProgress();
    x.percent = q(Format::percent(x.fraction));
    x.checking = t.isChecking();
    x.finishedOrSeeding = t.finished || t.seeding;
    x.hasError = !t.error.empty();
    if (x.checking)
        x.progressText = q(Format::percent(std::clamp(t.progress, 0.0, 1.0)));
    else if (x.finishedOrSeeding)
        x.progressText = QStringLiteral("Готово");
    else
        x.progressText = x.percent;
    if (t.downloadRate >= 1)
        x.cardRateText = QStringLiteral("↓ ") + rate(t.downloadRate);
    if (x.checking)
        x.rowRateText = q(t.checkingSpeedText());
    else if (t.downloadRate >= 1)
        x.rowRateText = rate(t.downloadRate);
    else if (x.finishedOrSeeding)
        x.rowRateText = QStringLiteral("Готово");
    else
        x.rowRateText = QStringLiteral("—");
    if (x.checking) {
        x.timeLeftText = QStringLiteral("Осталось: ") + CheckingMetrics::timeLeftText(t);
        x.checkingMetrics = CheckingMetrics::accessibleText(t);
    }
    x.statusText = q(TorrentStatusText::statusText(t));
    x.statusSymbol = TorrentStatusText::statusSymbol(t);
    x.pausedManually = t.paused && !t.autoManaged;
    x.resumeWording = resumeWordingFor(t);
    x.pauseSymbolName =
        x.pausedManually ? QStringLiteral("arrow.down.circle") : QStringLiteral("pause.circle");
    x.pauseLabel = x.pausedManually ? x.resumeWording + QStringLiteral(" загрузку")
                                    : QStringLiteral("Приостановить загрузку");
    if (x.checking)
        x.eyebrow = QStringLiteral("ПРОВЕРКА ФАЙЛОВ");
    else if (x.finishedOrSeeding)
        x.eyebrow = QStringLiteral("В ВАШЕЙ МЕДИАТЕКЕ");
    else
        x.eyebrow = QStringLiteral("СЕЙЧАС В ЗАГРУЗКЕ");
    return x;
}

QString LibraryItemText::cardLabel() const {
    return title + QStringLiteral(", ") + statusText + QStringLiteral(", ") + percent;
}

} // namespace tevro
