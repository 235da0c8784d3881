#include "tevro/torrent/magnet_sheet.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_button_style.h"
#include "tevro/torrent/elided_label.h"
#include "tevro/torrent/save_path_check.h"
#include "tevro/torrent/sheet_parts.h"

namespace tevro {

MagnetSheet::MagnetSheet(TorrentEngine& engine, const QString& initial, QWidget* parent)
    : QDialog(parent), m_engine(engine), m_initial(initial) {
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Magnet-ссылка"));
    setFixedWidth(560);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(18, 18, 18, 18);
    v->setSpacing(12);
    auto* title = new QLabel(QStringLiteral("Magnet-ссылка"));
    SheetParts::makeTitle(title);
    v->addWidget(title);

    m_text = new QPlainTextEdit;
    m_text->setAccessibleName(QStringLiteral("Magnet-ссылка"));
    m_text->setFont(SheetParts::editorFont());
    m_text->setFixedHeight(90);
    m_text->setTabChangesFocus(true);
    // The editor's outline: a hairline with rounded corners.
    m_text->setStyleSheet(QStringLiteral(
        "QPlainTextEdit { border: 1px solid rgba(255, 255, 255, 46); border-radius: 4px; }"));
    connect(m_text, &QPlainTextEdit::textChanged, this, [this] { refreshState(); });
    v->addWidget(m_text);

    auto* folder = new QHBoxLayout;
    auto* folderTitle = new QLabel(QStringLiteral("Папка"));
    folderTitle->setForegroundRole(QPalette::PlaceholderText);
    folder->addWidget(folderTitle);
    m_pathLabel = new ElidedLabel;
    folder->addWidget(m_pathLabel, 1);
    auto* change = new QPushButton(QStringLiteral("Изменить…"));
    LibraryButtonStyle::apply(change, false);
    connect(change, &QPushButton::clicked, this, [this] {
        QString chosen = QFileDialog::getExistingDirectory(this);
        if (!chosen.isEmpty())
            setSavePath(chosen);
    });
    folder->addWidget(change);
    v->addLayout(folder);

    m_chooseFiles = new QCheckBox(QStringLiteral("Выбрать файлы перед загрузкой"));
    m_chooseFiles->setChecked(true);
    v->addWidget(m_chooseFiles);
    m_startNow = new QCheckBox(QStringLiteral("Начать загрузку"));
    m_startNow->setChecked(true);
    v->addWidget(m_startNow);

    auto* bottom = new QHBoxLayout;
    m_error = SheetParts::errorLabel();
    bottom->addWidget(m_error, 1);
    bottom->addStretch();
    m_addButton = SheetParts::addButtons(bottom, this, QStringLiteral("Добавить"));
    connect(m_addButton, &QPushButton::clicked, this, [this] { add(); });
    SheetParts::confirmOnReturn(m_text, m_addButton);
    v->addLayout(bottom);
    refreshState();
}

void MagnetSheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Filled when opened; a restored window shows it again with what was typed.
    if (event->spontaneous())
        return;
    m_text->setPlainText(m_initial);
    setSavePath(QString::fromStdString(m_engine.settings().downloadDirectory));
    m_startNow->setChecked(!m_engine.settings().addPaused);
}

QString MagnetSheet::link() const {
    return m_text->toPlainText().trimmed();
}

bool MagnetSheet::canAdd() const {
    return link().startsWith(QStringLiteral("magnet:"), Qt::CaseSensitive);
}

void MagnetSheet::setText(const QString& text) {
    m_text->setPlainText(text);
}

void MagnetSheet::setSavePath(const QString& path) {
    m_savePath = path;
    m_pathLabel->setText(path);
}

void MagnetSheet::setChooseFiles(bool on) {
    m_chooseFiles->setChecked(on);
}

void MagnetSheet::setStartNow(bool on) {
    m_startNow->setChecked(on);
}

void MagnetSheet::refreshState() {
    m_addButton->setEnabled(canAdd());
}

QString MagnetSheet::errorText() const {
    return m_error->text();
}

void MagnetSheet::add() {
    if (!canAdd())
        return;
    auto showError = [this](const QString& message) {
        m_error->setText(message);
        m_error->show();
    };
    if (auto problem = savePathProblem(m_savePath))
        return showError(*problem);
    auto result = m_engine.addMagnet(link().toStdString(), m_savePath.toStdString(),
                                     m_chooseFiles->isChecked(), !m_startNow->isChecked(), false);
    if (!result)
        return showError(QString::fromStdString(result.error().message));
    if (result->duplicate)
        m_engine.show("Этот торрент уже добавлен");
    emit added(QString::fromStdString(result->id));
    accept();
}

} // namespace tevro
