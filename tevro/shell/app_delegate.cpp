#include "tevro/shell/app_delegate.h"

#include <cstdlib>

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "tevro/engine/torrent_engine.h"
#include "tevro/media/artwork_store.h"
#include "tevro/player/player_model.h"

namespace tevro {

AppDelegate::AppDelegate(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services)) {}

bool AppDelegate::backgroundMode() {
    const char* value = std::getenv("TEVRO_BACKGROUND");
    return value && std::string_view(value) == "1";
}

std::optional<std::uint16_t> AppDelegate::parseControlPort(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + std::uint32_t(c - '0');
        if (value > 65535)
            return std::nullopt;
    }
    if (negative && value != 0)
        return std::nullopt;
    return std::uint16_t(value);
}

std::string AppDelegate::urlFromArgument(const std::string& argument,
                                         const std::string& workingFolder) {
    // Prefixes as written: a link need not be a valid URL ("dn=%" is a
    // magnet link all the same), and "ab:cd.torrent" is a file.
    for (const char* prefix : {"magnet:", "file://", "http://", "https://"})
        if (argument.starts_with(prefix))
            return argument;
    // Relative unless it begins with "/": QDir would take ":x.torrent" for
    // a resource path and leave it to the running instance's own folder.
    QString path = QString::fromStdString(argument);
    if (!argument.starts_with('/'))
        path = QString::fromStdString(workingFolder) + u'/' + path;
    return QUrl::fromLocalFile(QDir::cleanPath(path)).toString(QUrl::FullyEncoded).toStdString();
}

void AppDelegate::didFinishLaunching() {
    if (m_services.startUpdates)
        m_services.startUpdates();
    m_services.engine();
    if (m_services.startAutomation)
        m_services.startAutomation();
    const char* text = std::getenv("TEVRO_CONTROL_PORT");
    if (!text || !*text)
        return;
    if (auto port = parseControlPort(text); port && m_services.startControlServer)
        m_services.startControlServer(*port);
}

void AppDelegate::openURLs(const std::vector<std::string>& urls) {
    if (urls.empty())
        return;
    TorrentEngine& engine = m_services.engine();
    std::vector<std::string> pending = engine.pendingOpen();
    pending.insert(pending.end(), urls.begin(), urls.end());
    engine.setPendingOpen(std::move(pending));
}

void AppDelegate::willTerminate() {
    if (m_terminated)
        return;
    m_terminated = true;
    if (m_services.stopAutomation)
        m_services.stopAutomation();
    emit shutdownStep(QStringLiteral("automation"));
    if (m_services.hideWindows)
        m_services.hideWindows();
    emit shutdownStep(QStringLiteral("windows"));
    if (ArtworkStore* artwork = m_services.artwork ? m_services.artwork() : nullptr)
        artwork->shutdown();
    emit shutdownStep(QStringLiteral("artwork"));
    if (PlayerModel* player = m_services.player ? m_services.player() : nullptr) {
        player->stop();
        if (auto core = player->core())
            core->destroy();
    }
    emit shutdownStep(QStringLiteral("player"));
    m_services.engine().shutdown();
    emit shutdownStep(QStringLiteral("engine"));
}

} // namespace tevro
