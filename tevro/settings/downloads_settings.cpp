#include "tevro/settings/downloads_settings.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QVBoxLayout>

#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"
#include "tevro/settings/settings_group.h"
#include "tevro/settings/settings_row.h"
#include "tevro/settings/settings_style.h"
#include "tevro/settings/settings_switch.h"

namespace tevro {

namespace {

// One line of muted text, elided in the middle, the whole text as its tip.
class PathLabel : public QWidget {
public:
    explicit PathLabel(QWidget* parent) : QWidget(parent) {
        setFont(LibraryStyle::font(12));
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        setFixedHeight(18);
    }
    void setPath(const QString& path) {
        if (path == m_path)
            return;
        m_path = path;
        setToolTip(path);
        setAccessibleName(path);
        update();
    }
    const QString& path() const { return m_path; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(LibraryStyle::muted());
        p.setFont(font());
        QString shown = fontMetrics().elidedText(m_path, Qt::ElideMiddle, width());
        p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shown);
    }

private:
    QString m_path;
};

class FolderIcon : public QWidget {
public:
    explicit FolderIcon(QWidget* parent) : QWidget(parent) { setFixedSize(16, 16); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Symbols::paint(p, QRectF(rect()), "folder", LibraryStyle::accent());
    }
};

QLabel* mutedLabel(QWidget* parent, int width) {
    auto* label = new QLabel(parent);
    label->setFixedWidth(width);
    label->setFont(LibraryStyle::font(12));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, LibraryStyle::muted());
    label->setPalette(pal);
    return label;
}

} // namespace

QString DownloadsSettings::formatRatio(double ratio) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = locale.toString(ratio, 'f', 2);
    QString point = locale.decimalPoint();
    if (text.contains(point)) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(point))
            text.chop(point.size());
    }
    return text;
}

DownloadsSettings::DownloadsSettings(TorrentEngine& engine, QWidget* parent)
    : SettingsPageWidget(engine, parent) {
    setObjectName(QStringLiteral("page:downloads"));
    m_chooser = [this](const QString& start) -> std::optional<QString> {
        QString dir = QFileDialog::getExistingDirectory(window(), QString(), start);
        if (dir.isEmpty())
            return std::nullopt;
        return dir;
    };

    auto* saving = addGroup(QStringLiteral("Сохранение"));
    auto* folder = new QWidget;
    auto* folderColumn = new QVBoxLayout(folder);
    folderColumn->setContentsMargins(16, 16, 16, 16);
    folderColumn->setSpacing(12);
    auto* caption = new QLabel(QStringLiteral("Папка загрузок"), folder);
    caption->setFont(LibraryStyle::font(12));
    folderColumn->addWidget(caption);
    auto* pathLine = new QHBoxLayout;
    pathLine->setSpacing(10);
    pathLine->addWidget(new FolderIcon(folder));
    auto* path = new PathLabel(folder);
    path->setObjectName(QStringLiteral("downloadDirectory"));
    pathLine->addWidget(path, 1);
    auto* change = new SettingsActionButton(QStringLiteral("Изменить…"), folder);
    connect(change, &QPushButton::clicked, this, &DownloadsSettings::chooseDirectory);
    pathLine->addWidget(change);
    folderColumn->addLayout(pathLine);
    saving->add(folder);
    onSync([this, path] {
        path->setPath(QString::fromStdString(this->engine().settings().downloadDirectory));
    });
    saving->add(new SettingsDivider);
    saving->add(makeSwitch(QStringLiteral("Добавлять на паузе"), &AppSettings::addPaused));

    auto* queue = addGroup(QStringLiteral("Очередь"));
    queue->add(
        stepperRow(QStringLiteral("Одновременные загрузки"), &AppSettings::activeDownloads, 1, 50));
    queue->add(new SettingsDivider);
    queue->add(
        stepperRow(QStringLiteral("Одновременные раздачи"), &AppSettings::activeSeeds, 1, 100));

    auto* seeding = addGroup(QStringLiteral("Раздача"));
    auto* ratioBox = new QWidget;
    auto* ratioLine = new QHBoxLayout(ratioBox);
    ratioLine->setContentsMargins(0, 0, 0, 0);
    ratioLine->setSpacing(8);
    m_ratio = new QLineEdit(ratioBox);
    m_ratio->setObjectName(QStringLiteral("field:Рейтинг"));
    m_ratio->setAccessibleName(QStringLiteral("Рейтинг"));
    m_ratio->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SettingsStyle::applyField(m_ratio);
    m_ratio->setFixedWidth(94);
    ratioLine->addWidget(m_ratio);
    auto* infinity = mutedLabel(ratioBox, 44);
    ratioLine->addWidget(infinity);
    connect(m_ratio, &QLineEdit::editingFinished, this, &DownloadsSettings::commitRatio);
    onSync([this, infinity] {
        double ratio = this->engine().settings().ratioLimit;
        if (!(m_ratio->hasFocus() && m_ratio->isModified())) {
            QString text = formatRatio(ratio);
            if (m_ratio->text() != text)
                m_ratio->setText(text);
        }
        infinity->setText(ratio == 0 ? QStringLiteral("∞") : QString());
        infinity->setAccessibleName(ratio == 0 ? QStringLiteral("Без ограничений") : QString());
    });
    seeding->add(new SettingsRow(QStringLiteral("Остановить при рейтинге"), ratioBox));
    seeding->add(new SettingsDivider);
    seeding->add(numberRow(QStringLiteral("Остановить через"), QStringLiteral("Время раздачи"),
                           &AppSettings::seedTimeLimitMinutes, QStringLiteral("мин"), true));
}

void DownloadsSettings::commitRatio() {
    bool ok = false;
    double value = QLocale().toDouble(m_ratio->text().trimmed(), &ok);
    // Only a finite ratio means anything to the seeding check.
    if (ok && std::isfinite(value))
        write([&](AppSettings& s) { s.ratioLimit = value; });
    m_ratio->setModified(false);
    sync();
}

void DownloadsSettings::chooseDirectory() {
    if (!m_chooser)
        return;
    auto chosen = m_chooser(QString::fromStdString(engine().settings().downloadDirectory));
    if (!chosen || chosen->isEmpty())
        return;
    std::string path = chosen->toStdString();
    write([&](AppSettings& s) { s.downloadDirectory = path; });
}

} // namespace tevro
