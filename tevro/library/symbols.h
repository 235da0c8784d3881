#pragma once

// The one table of symbols: each symbol name the views use ("play.fill",
// "folder", ...) maps to a glyph of the Material icon font, or to a shape
// drawn here where the font has none. No other code names glyphs.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QRectF>

class QPainter;

namespace tevro {

class Symbols {
public:
    Symbols() = delete;

    // Whether the table knows `name`.
    static bool contains(std::string_view name);
    // The icon-font code point of `name`; nothing for a drawn shape or an unknown name.
    static std::optional<char32_t> glyph(std::string_view name);
    // Every name of the table, in table order.
    static std::vector<std::string> names();

    // The icon font at `pixelSize` logical pixels (loaded once).
    static QFont font(qreal pixelSize);

    // Draws `name` centred in `box`, as large as the box's shorter side; an
    // unknown name draws nothing.
    static void paint(QPainter& painter, const QRectF& box, std::string_view name,
                      const QColor& color);
    // `name` as a square picture of `pixelSize` logical pixels.
    static QPixmap pixmap(std::string_view name, const QColor& color, int pixelSize,
                          qreal devicePixelRatio = 1.0);
    static QIcon icon(std::string_view name, const QColor& color, int pixelSize = 16);
};

} // namespace tevro
