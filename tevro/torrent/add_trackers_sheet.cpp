#include "tevro/torrent/add_trackers_sheet.h"
#include "tevro/torrent/sheet_parts.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tevro {

AddTrackersSheet::AddTrackersSheet(const QString& text, QWidget* parent) : QDialog(parent) {
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Добавить трекеры"));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(20, 20, 20, 20);
    v->setSpacing(12);
    auto* title = new QLabel(QStringLiteral("Добавить трекеры"));
    SheetParts::makeTitle(title);
    v->addWidget(title);
    m_text = new QPlainTextEdit;
    m_text->setAccessibleName(QStringLiteral("Адреса трекеров"));
    m_text->setFont(SheetParts::editorFont());
    m_text->setFixedSize(460, 160);
    m_text->setTabChangesFocus(true);
    // The editor's outline: a hairline with rounded corners.
    m_text->setStyleSheet(QStringLiteral(
        "QPlainTextEdit { border: 1px solid rgba(255, 255, 255, 46); border-radius: 4px; }"));
    m_text->setPlainText(text);
    v->addWidget(m_text);
    auto* row = new QHBoxLayout;
    row->addStretch();
    m_add = SheetParts::addButtons(row, this, QStringLiteral("Добавить"));
    connect(m_add, &QPushButton::clicked, this, [this] {
        if (!canAdd())
            return;
        emit addRequested(this->text());
        accept();
    });
    SheetParts::confirmOnReturn(m_text, m_add);
    v->addLayout(row);
    connect(m_text, &QPlainTextEdit::textChanged, this, [this] { m_add->setEnabled(canAdd()); });
    m_add->setEnabled(canAdd());
}

QString AddTrackersSheet::text() const {
    return m_text->toPlainText();
}

void AddTrackersSheet::setText(const QString& text) {
    m_text->setPlainText(text);
}

bool AddTrackersSheet::canAdd() const {
    return !text().trimmed().isEmpty();
}

} // namespace tevro
