#include "tevro/torrent/sheet_parts.h"

#include <QBoxLayout>
#include <QDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>

namespace tevro::SheetParts {

void makeTitle(QLabel* label) {
    QFont font = label->font();
    font.setBold(true);
    font.setPixelSize(14);
    label->setFont(font);
}

QFont editorFont() {
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(12);
    return mono;
}

QLabel* errorLabel() {
    auto* label = new QLabel;
    label->setStyleSheet(QStringLiteral("color: #e5484d"));
    label->setWordWrap(true);
    label->hide();
    return label;
}

QPushButton* addButtons(QBoxLayout* row, QDialog* sheet, const QString& confirm) {
    auto* cancel = new QPushButton(QStringLiteral("Отмена"));
    QObject::connect(cancel, &QPushButton::clicked, sheet, &QDialog::reject);
    row->addWidget(cancel);
    auto* button = new QPushButton(confirm);
    button->setDefault(true);
    row->addWidget(button);
    return button;
}

} // namespace tevro::SheetParts
