#include "tevro/player/player_symbol.h"

#include <utility>

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace tevro::PlayerSymbol {

namespace {

constexpr std::pair<std::string_view, char16_t> kGlyphs[] = {
    {"play.fill", 0xe037},
    {"pause.fill", 0xe034},
    {"gobackward.10", 0xe059},
    {"goforward.10", 0xe056},
    {"waveform", 0xe1b8},
    {"captions.bubble", 0xe01c},
    {"list.bullet", 0xe241},
    {"forward.end.fill", 0xe044},
    {"speaker.slash.fill", 0xe04f},
    {"speaker.wave.2.fill", 0xe050},
    {"arrow.up.left.and.arrow.down.right", 0xe5d0},
    {"exclamationmark.triangle", 0xe002},
    {"checkmark", 0xe5ca},
};

} // namespace

QString glyph(std::string_view name) {
    for (const auto& [n, code] : kGlyphs)
        if (n == name)
            return QString(QChar(code));
    return {};
}

QFont font(int pixelSize) {
    QFont f("Material Icons");
    f.setPixelSize(pixelSize);
    f.setStyleStrategy(QFont::NoFontMerging);
    return f;
}

QIcon icon(std::string_view name, int pixelSize, QColor color) {
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) {
        QPixmap pixmap(QSize(pixelSize, pixelSize) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(font(pixelSize));
        p.setPen(color);
        p.drawText(QRect(0, 0, pixelSize, pixelSize), Qt::AlignCenter, glyph(name));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tevro::PlayerSymbol
