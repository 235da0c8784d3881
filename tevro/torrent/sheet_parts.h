#pragma once

// The pieces every torrent sheet is made of, so the sheets look alike: the
// bold title, the monospaced editor font, the red error line and the
// "Отмена" / confirm pair at the end of a row.

#include <QFont>
#include <QString>

class QBoxLayout;
class QDialog;
class QLabel;
class QPushButton;

namespace tevro {

namespace SheetParts {

// Makes `label` the sheet's title.
void makeTitle(QLabel* label);
QFont editorFont();
// A hidden, word-wrapping label for the sheet's error message.
QLabel* errorLabel();
// Appends "Отмена" (rejects `sheet`) and the default button `confirm` to
// `row`; the caller connects the returned confirm button.
QPushButton* addButtons(QBoxLayout* row, QDialog* sheet, const QString& confirm);

} // namespace SheetParts

} // namespace tevro
