#pragma once

// The one palette of every window, and the fonts the views draw with. Sizes
// are logical pixels, so a view keeps its layout on dense screens.

#include <QColor>
#include <QFont>
#include <QPalette>

class QApplication;

namespace tevro {

class LibraryStyle {
public:
    LibraryStyle() = delete;

    static const QColor& background(); // black; label colour of a prominent button
    static const QColor& sidebar();    // grey 0.10
    static const QColor& surface();    // black, the same as background
    static const QColor& raised();     // grey 0.12: panels, ordinary buttons, artwork backdrop
    static const QColor& accent();     // the green-grey of main actions and highlights
    static const QColor& muted();      // secondary text
    static const QColor& line();       // white at 0.09: hairlines

    // Colours named by the views that are not part of the palette proper.
    static const QColor& text();      // plain white
    static const QColor& errorText(); // the light red of a failed torrent's badge
    static const QColor& mint();      // finished or seeding
    static const QColor& red();       // an error's status word

    // The sans font with Cyrillic at `pixelSize` logical pixels. Its digits
    // are of equal width, so changing numbers do not shift the line.
    static QFont font(qreal pixelSize, QFont::Weight weight = QFont::Normal);

    // A dark QPalette built from the colours above.
    static QPalette palette();
    // Sets the dark palette, the font and the application style once.
    static void apply(QApplication& app);
};

} // namespace tevro
