#include "tevro/library/symbols.h"

#include <algorithm>
#include <array>

#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

namespace tevro {

namespace {

// How a symbol is made: a plain glyph, a glyph inside a drawn ring (the
// outlined circle variants the font lacks), or a shape of our own.
enum class Kind { glyph, ringed, drawn };

struct Entry {
    std::string_view name;
    Kind kind;
    char32_t glyph; // unused for drawn shapes
};

constexpr char32_t kNone = 0;

// Names as the views use them, glyphs of the Material icon font.
constexpr std::array kTable = {
    Entry{"play.fill", Kind::glyph, 0xe037},                             // play_arrow
    Entry{"pause.fill", Kind::glyph, 0xe034},                            // pause
    Entry{"folder", Kind::glyph, 0xe2c7},                                // folder
    Entry{"film", Kind::glyph, 0xe02c},                                  // movie
    Entry{"waveform", Kind::glyph, 0xe1b8},                              // graphic_eq
    Entry{"captions.bubble", Kind::glyph, 0xe01c},                       // closed_caption
    Entry{"photo", Kind::glyph, 0xe410},                                 // photo
    Entry{"doc.text", Kind::glyph, 0xe873},                              // description
    Entry{"doc.zipper", Kind::glyph, 0xeb2c},                            // folder_zip
    Entry{"doc", Kind::glyph, 0xe24d},                                   // insert_drive_file
    Entry{"doc.badge.plus", Kind::glyph, 0xe89c},                        // note_add
    Entry{"arrow.down.circle", Kind::ringed, 0xe5db},                    // arrow_downward in a ring
    Entry{"arrow.down.circle.fill", Kind::glyph, 0xf181},                // arrow_circle_down
    Entry{"arrow.up.circle", Kind::ringed, 0xe5d8},                      // arrow_upward in a ring
    Entry{"arrow.up.circle.fill", Kind::glyph, 0xf182},                  // arrow_circle_up
    Entry{"arrow.down.to.line", Kind::glyph, 0xe258},                    // vertical_align_bottom
    Entry{"arrow.triangle.2.circlepath", Kind::glyph, 0xe627},           // sync
    Entry{"arrow.clockwise", Kind::glyph, 0xe5d5},                       // refresh
    Entry{"arrow.forward", Kind::glyph, 0xe5c8},                         // arrow_forward
    Entry{"arrow.up.right", Kind::glyph, 0xf1e1},                        // north_east
    Entry{"arrow.up.arrow.down", Kind::glyph, 0xe8d5},                   // swap_vert
    Entry{"arrow.up.left.and.arrow.down.right", Kind::glyph, 0xf1ce},    // open_in_full
    Entry{"pause.circle", Kind::glyph, 0xe036},                          // pause_circle_outline
    Entry{"pause.circle.fill", Kind::glyph, 0xe035},                     // pause_circle_filled
    Entry{"checkmark", Kind::glyph, 0xe5ca},                             // check
    Entry{"checkmark.circle", Kind::glyph, 0xe92d},                      // check_circle_outline
    Entry{"checkmark.circle.fill", Kind::glyph, 0xe86c},                 // check_circle
    Entry{"checkmark.square.fill", Kind::glyph, 0xe834},                 // check_box
    Entry{"minus.square.fill", Kind::glyph, 0xe909},                     // indeterminate_check_box
    Entry{"square", Kind::glyph, 0xe835},                                // check_box_outline_blank
    Entry{"checkmark.shield", Kind::glyph, 0xe8e8},                      // verified_user
    Entry{"shield", Kind::glyph, 0xe9e0},                                // shield
    Entry{"checklist", Kind::glyph, 0xe6b1},                             // checklist
    Entry{"circle", Kind::glyph, 0xe836},                                // radio_button_unchecked
    Entry{"info.circle", Kind::glyph, 0xe88f},                           // info_outline
    Entry{"exclamationmark.triangle", Kind::glyph, 0xf083},              // warning_amber
    Entry{"exclamationmark.triangle.fill", Kind::glyph, 0xe002},         // warning
    Entry{"xmark", Kind::glyph, 0xe5cd},                                 // close
    Entry{"xmark.circle", Kind::glyph, 0xe888},                          // highlight_off
    Entry{"xmark.circle.fill", Kind::glyph, 0xe5c9},                     // cancel
    Entry{"chevron.right", Kind::glyph, 0xe5cc},                         // chevron_right
    Entry{"chevron.left", Kind::glyph, 0xe5cb},                          // chevron_left
    Entry{"chevron.down", Kind::glyph, 0xe5cf},                          // expand_more
    Entry{"ellipsis", Kind::glyph, 0xe5d3},                              // more_horiz
    Entry{"magnifyingglass", Kind::glyph, 0xe8b6},                       // search
    Entry{"list.bullet", Kind::glyph, 0xe241},                           // format_list_bulleted
    Entry{"square.grid.2x2", Kind::glyph, 0xe9b0},                       // grid_view
    Entry{"plus", Kind::glyph, 0xe145},                                  // add
    Entry{"minus", Kind::glyph, 0xe15b},                                 // remove
    Entry{"clock", Kind::glyph, 0xe8b5},                                 // schedule
    Entry{"hourglass", Kind::glyph, 0xe88b},                             // hourglass_empty
    Entry{"person.2", Kind::glyph, 0xe7fb},                              // people
    Entry{"person.2.slash", Kind::glyph, 0xe747},                        // group_off
    Entry{"hand.raised", Kind::glyph, 0xe925},                           // pan_tool
    Entry{"lock.fill", Kind::glyph, 0xe897},                             // lock
    Entry{"gift.fill", Kind::glyph, 0xe8f6},                             // card_giftcard
    Entry{"sparkles", Kind::glyph, 0xe65f},                              // auto_awesome
    Entry{"speaker.wave.2.fill", Kind::glyph, 0xe050},                   // volume_up
    Entry{"speaker.slash.fill", Kind::glyph, 0xe04f},                    // volume_off
    Entry{"goforward.10", Kind::glyph, 0xe056},                          // forward_10
    Entry{"gobackward.10", Kind::glyph, 0xe059},                         // replay_10
    Entry{"forward.end.fill", Kind::glyph, 0xe044},                      // skip_next
    Entry{"point.3.connected.trianglepath.dotted", Kind::glyph, 0xe9f4}, // hub
    Entry{"slider.horizontal.3", Kind::glyph, 0xe429},                   // tune
    Entry{"rectangle.stack", Kind::glyph, 0xe3e0},                       // filter_none
    Entry{"rectangle.bottomthird.inset.filled", Kind::glyph, 0xe06c},    // call_to_action
    Entry{"play.rectangle", Kind::glyph, 0xf06a},                        // smart_display
    Entry{"play.rectangle.fill", Kind::glyph, 0xe41b},                   // slideshow
    Entry{"play.rectangle.on.rectangle", Kind::glyph, 0xe04a},           // video_library
    Entry{"tray.full", Kind::glyph, 0xe156},                             // inbox
    Entry{"trash", Kind::glyph, 0xe872},                                 // delete
    Entry{"terminal", Kind::glyph, 0xeb8e},                              // terminal
    Entry{"speedometer", Kind::glyph, 0xe9e4},                           // speed
    Entry{"network", Kind::glyph, 0xe80b},                               // public
    Entry{"tablecells", Kind::glyph, 0xe265},                            // table_chart
    Entry{"bolt.horizontal.circle", Kind::glyph, 0xe932},                // offline_bolt
    Entry{"link", Kind::glyph, 0xe157},                                  // link
    Entry{"tortoise", Kind::drawn, kNone},                               // the font has no tortoise
};

const Entry* find(std::string_view name) {
    for (const Entry& e : kTable) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

QString iconFamily() {
    static const QString family = [] {
        const QString path = QStringLiteral(
            "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf");
        if (QFile::exists(path)) {
            const int id = QFontDatabase::addApplicationFont(path);
            const QStringList families = QFontDatabase::applicationFontFamilies(id);
            if (!families.isEmpty())
                return families.first();
        }
        return QStringLiteral("Material Icons");
    }();
    return family;
}

void paintGlyph(QPainter& p, const QRectF& box, char32_t glyph, qreal size, const QColor& color) {
    p.setFont(Symbols::font(size));
    p.setPen(color);
    p.drawText(box, Qt::AlignCenter, QString::fromUcs4(&glyph, 1));
}

// A tortoise seen from the side: domed shell, head, two legs.
void paintTortoise(QPainter& p, const QRectF& sq, const QColor& color) {
    const qreal s = sq.width();
    auto at = [&](qreal x, qreal y) { return QPointF(sq.left() + x * s, sq.top() + y * s); };
    QPainterPath shell;
    shell.moveTo(at(0.14, 0.66));
    shell.cubicTo(at(0.16, 0.30), at(0.70, 0.30), at(0.74, 0.66));
    shell.closeSubpath();
    QPainterPath body = shell;
    body.addEllipse(QRectF(at(0.70, 0.44), QSizeF(0.2 * s, 0.16 * s))); // head
    body.addRoundedRect(QRectF(at(0.22, 0.62), QSizeF(0.12 * s, 0.16 * s)), 0.04 * s, 0.04 * s);
    body.addRoundedRect(QRectF(at(0.54, 0.62), QSizeF(0.12 * s, 0.16 * s)), 0.04 * s, 0.04 * s);
    body.setFillRule(Qt::WindingFill);
    p.fillPath(body, color);
}

} // namespace

bool Symbols::contains(std::string_view name) {
    return find(name) != nullptr;
}

std::optional<char32_t> Symbols::glyph(std::string_view name) {
    const Entry* e = find(name);
    if (!e || e->kind == Kind::drawn)
        return std::nullopt;
    return e->glyph;
}

std::vector<std::string> Symbols::names() {
    std::vector<std::string> out;
    out.reserve(kTable.size());
    for (const Entry& e : kTable)
        out.emplace_back(e.name);
    return out;
}

QFont Symbols::font(qreal pixelSize) {
    QFont f(iconFamily());
    f.setPixelSize(qMax(1, qRound(pixelSize)));
    f.setStyleStrategy(QFont::NoFontMerging);
    return f;
}

void Symbols::paint(QPainter& painter, const QRectF& box, std::string_view name,
                    const QColor& color) {
    const Entry* e = find(name);
    if (!e || box.isEmpty())
        return;
    const qreal size = std::min(box.width(), box.height());
    const QRectF square(box.center().x() - size / 2, box.center().y() - size / 2, size, size);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    switch (e->kind) {
    case Kind::glyph:
        paintGlyph(painter, square, e->glyph, size, color);
        break;
    case Kind::ringed: {
        const qreal width = std::max(1.0, size * 0.085);
        painter.setPen(QPen(color, width));
        painter.setBrush(Qt::NoBrush);
        const qreal inset = size * 0.083 + width / 2;
        painter.drawEllipse(square.adjusted(inset, inset, -inset, -inset));
        paintGlyph(painter, square, e->glyph, size * 0.6, color);
        break;
    }
    case Kind::drawn:
        paintTortoise(painter, square, color);
        break;
    }
    painter.restore();
}

QPixmap Symbols::pixmap(std::string_view name, const QColor& color, int pixelSize,
                        qreal devicePixelRatio) {
    const int side = qMax(1, qRound(pixelSize * devicePixelRatio));
    QPixmap pm(side, side);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paint(p, QRectF(0, 0, pixelSize, pixelSize), name, color);
    return pm;
}

QIcon Symbols::icon(std::string_view name, const QColor& color, int pixelSize) {
    QIcon icon;
    icon.addPixmap(pixmap(name, color, pixelSize, 1.0));
    icon.addPixmap(pixmap(name, color, pixelSize, 2.0));
    return icon;
}

} // namespace tevro
