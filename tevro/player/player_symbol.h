#pragma once

// The symbols of the player window by their system names ("play.fill"),
// drawn from the Material Design icon font.

#include <string_view>

#include <QColor>
#include <QIcon>
#include <QString>

namespace tevro::PlayerSymbol {

// The glyph of a symbol name; empty for a name the table lacks.
QString glyph(std::string_view name);

// The icon font at a size in logical pixels.
QFont font(int pixelSize);

// A symbol as an icon of `pixelSize` in `color`.
QIcon icon(std::string_view name, int pixelSize, QColor color = Qt::white);

} // namespace tevro::PlayerSymbol
