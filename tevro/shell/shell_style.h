#pragma once

// The few look constants the shell's own widgets use: the library palette's
// colours and fonts in logical pixels. The library presentation owns the
// palette; this holds only what the shell draws itself.

#include <string>

#include <QColor>
#include <QFont>
#include <QString>

namespace tevro::ShellStyle {

QColor background();
QColor sidebar();
QColor surface();
QColor raised();
QColor accent();
QColor muted();
QColor line();
QColor mint();

// The sans font at `pixels` logical pixels; `tabular` asks for digits of equal width.
QFont font(int pixels, QFont::Weight weight = QFont::Normal, bool tabular = false);

// A character standing for a system symbol name; empty for an unknown name.
QString glyph(const std::string& symbol);

// A label text for a symbol name followed by `text`.
QString symbolText(const std::string& symbol, const std::string& text);

// The dark theme of every window, set on the application once.
void applyTheme();

} // namespace tevro::ShellStyle
