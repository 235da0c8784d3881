#pragma once

// The "Загрузки" page: the download folder, adding paused, the queue sizes
// and the seeding limits (ratio and time).

#include <functional>
#include <optional>

#include "tevro/settings/settings_page_widget.h"

class QLabel;
class QLineEdit;

namespace tevro {

class DownloadsSettings : public SettingsPageWidget {
    Q_OBJECT
public:
    // Asks for a folder starting at the given one; nothing when cancelled.
    using FolderChooser = std::function<std::optional<QString>(const QString& start)>;

    explicit DownloadsSettings(TorrentEngine& engine, QWidget* parent = nullptr);

    // The action of "Изменить…": the chosen folder becomes the download folder.
    void chooseDirectory();
    // The folder dialog by default.
    void setFolderChooser(FolderChooser chooser) { m_chooser = std::move(chooser); }

    QLineEdit* ratioField() const { return m_ratio; }
    // The ratio as the field shows it: up to two fraction digits.
    static QString formatRatio(double ratio);

private:
    void commitRatio();

    FolderChooser m_chooser;
    QLineEdit* m_ratio = nullptr;
};

} // namespace tevro
