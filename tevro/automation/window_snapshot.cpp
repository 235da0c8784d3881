#include "tevro/automation/window_snapshot.h"

#include <cstdio>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLayout>
#include <QPixmap>
#include <QTemporaryFile>
#include <QWidget>

namespace tevro {

QByteArray WindowSnapshot::png(QWidget* window) {
    if (!window)
        return {};
    // A window that was never shown has not laid out its children yet.
    if (!window->isVisible() && window->layout())
        window->layout()->activate();
    QPixmap pixmap = window->grab();
    if (pixmap.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !pixmap.save(&buffer, "PNG"))
        return {};
    return bytes;
}

bool WindowSnapshot::write(QWidget* window, const QString& path) {
    QByteArray bytes = png(window);
    if (bytes.isEmpty())
        return false;
    return replace(path, [&bytes](const QString& temporary) {
        QFile file(temporary);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            return false;
        file.close();
        return file.error() == QFileDevice::NoError;
    });
}

bool WindowSnapshot::replace(const QString& path,
                             const std::function<bool(const QString&)>& writer) {
    QFileInfo target(path);
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')) || target.isDir())
        return false;
    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                             QStringLiteral(".XXXXXX"));
    if (!temporary.open())
        return false;
    QString name = temporary.fileName();
    temporary.close();
    if (!writer(name))
        return false; // the temporary file goes with `temporary`
    QFile written(name);
    if (written.size() <= 0)
        return false;
    // Temporary files are private; an image is not.
    written.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ReadGroup | QFileDevice::ReadOther);
    // rename(2) replaces an existing file in one step; QFile::rename would not.
    if (std::rename(QFile::encodeName(name).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
    temporary.setAutoRemove(false);
    return true;
}

QString WindowSnapshot::videoPath(const QString& path) {
    static const QString suffix = QStringLiteral(".png");
    if (!path.endsWith(suffix))
        return path;
    return path.left(path.size() - suffix.size()) + QStringLiteral("-video.png");
}

} // namespace tevro
