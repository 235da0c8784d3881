#include "tevro/torrent/file_manager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QUrl>

namespace tevro {

namespace {

std::function<void(const QString&)>& openFolder() {
    static std::function<void(const QString&)> open = [](const QString& folder) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    };
    return open;
}

QString text(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

} // namespace

void FileManager::setOpenFolder(std::function<void(const QString& folder)> open) {
    openFolder() = std::move(open);
}

bool FileManager::showItem(const std::filesystem::path& target) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(text(target)).toString()} << QString();
    // A short wait: a missing service answers at once, a live one within moments.
    QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void FileManager::show(const std::filesystem::path& target, bool select) {
    if (select && showItem(target))
        return;
    openFolder()(text(select ? target.parent_path() : target));
}

} // namespace tevro
