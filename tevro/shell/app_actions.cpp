#include "tevro/shell/app_actions.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QUrl>

#include "tevro/engine/torrent_engine.h"
#include "tevro/shell/main_ui_state.h"

namespace tevro::AppActions {

void openTorrentPanel(TorrentEngine& engine, QWidget* parent) {
    QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    QList<QUrl> chosen = QFileDialog::getOpenFileUrls(
        parent, QStringLiteral("Открыть торрент"), QUrl::fromLocalFile(downloads),
        QStringLiteral("Торренты (*.torrent *.TORRENT);;Все файлы (*)"));
    std::vector<std::string> urls;
    for (const QUrl& url : chosen)
        urls.push_back(url.toString(QUrl::FullyEncoded).toStdString());
    queueFiles(engine, urls);
}

void queueFiles(TorrentEngine& engine, const std::vector<std::string>& urls) {
    if (urls.empty())
        return;
    std::vector<std::string> pending = engine.pendingOpen();
    pending.insert(pending.end(), urls.begin(), urls.end());
    engine.setPendingOpen(std::move(pending));
}

std::string magnetFromClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    std::string text = clipboard ? clipboard->text().toStdString() : std::string();
    return text.starts_with("magnet:") ? text : std::string();
}

void openMagnet(MainUIState& ui) {
    ui.setMagnetText(magnetFromClipboard());
    ui.setShowMagnet(true);
}

} // namespace tevro::AppActions
