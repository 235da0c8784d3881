#pragma once

// The pieces every torrent sheet is made of, so the sheets look alike: the
// bold title, the monospaced editor font, the red error line and the
// "Отмена" / confirm pair at the end of a row in the library's button look.

#include <QFont>
#include <QString>

class QBoxLayout;
class QDialog;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace tevro {

namespace SheetParts {

// Makes `label` the sheet's title.
void makeTitle(QWidget* label);
QFont editorFont();
// A hidden, word-wrapping label for the sheet's error message.
QLabel* errorLabel();
// Appends "Отмена" (rejects `sheet`) and the default button `confirm` to
// `row`; the caller connects the returned confirm button.
QPushButton* addButtons(QBoxLayout* row, QDialog* sheet, const QString& confirm);
// Return in `editor` presses `confirm` (when enabled) instead of starting a
// new line; Shift+Return still starts one.
void confirmOnReturn(QPlainTextEdit* editor, QPushButton* confirm);

} // namespace SheetParts

} // namespace tevro
