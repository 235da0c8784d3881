#include "tevro/torrent/sheet_parts.h"

#include <QBoxLayout>
#include <QDialog>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include "tevro/library/library_button_style.h"

namespace tevro::SheetParts {

namespace {

class ReturnConfirms : public QObject {
public:
    ReturnConfirms(QPushButton* confirm, QObject* parent) : QObject(parent), m_confirm(confirm) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            key->modifiers().testFlag(Qt::ShiftModifier))
            return false;
        if (m_confirm && m_confirm->isEnabled())
            m_confirm->click();
        return true;
    }

private:
    QPointer<QPushButton> m_confirm;
};

} // namespace

void makeTitle(QWidget* label) {
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
    LibraryButtonStyle::apply(cancel, false);
    QObject::connect(cancel, &QPushButton::clicked, sheet, &QDialog::reject);
    row->addWidget(cancel);
    auto* button = new QPushButton(confirm);
    LibraryButtonStyle::apply(button, true);
    button->setDefault(true);
    row->addWidget(button);
    return button;
}

void confirmOnReturn(QPlainTextEdit* editor, QPushButton* confirm) {
    editor->installEventFilter(new ReturnConfirms(confirm, editor));
}

} // namespace tevro::SheetParts
