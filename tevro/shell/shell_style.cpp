#include "tevro/shell/shell_style.h"

#include <map>

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace tevro::ShellStyle {

QColor background() {
    return QColor(0, 0, 0);
}
QColor sidebar() {
    return QColor(18, 19, 22);
}
QColor surface() {
    return QColor(0, 0, 0);
}
QColor raised() {
    return QColor::fromRgbF(0.12f, 0.12f, 0.12f);
}
QColor accent() {
    return QColor::fromRgbF(0.64f, 0.91f, 0.73f);
}
QColor muted() {
    return QColor::fromRgbF(0.64f, 0.67f, 0.73f);
}
QColor line() {
    return QColor::fromRgbF(1, 1, 1, 0.09f);
}
QColor mint() {
    return QColor(102, 212, 207);
}

QFont font(int pixels, QFont::Weight weight, bool tabular) {
    QFont f;
    f.setFamilies({QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    f.setWeight(weight);
    // DejaVu and Noto Sans draw digits of equal width already.
    (void)tabular;
    return f;
}

QString glyph(const std::string& symbol) {
    static const std::map<std::string, QString> glyphs = {
        {"square.grid.2x2", QStringLiteral("▦")},
        {"list.bullet", QStringLiteral("☰")},
        {"tablecells", QStringLiteral("▤")},
        {"arrow.down.circle", QStringLiteral("⇩")},
        {"pause.circle", QStringLiteral("⏸")},
        {"trash", QStringLiteral("🗑")},
        {"checkmark.circle", QStringLiteral("✓")},
        {"arrow.up.arrow.down", QStringLiteral("⇅")},
        {"rectangle.bottomthird.inset.filled", QStringLiteral("▭")},
        {"magnifyingglass", QStringLiteral("⌕")},
        {"xmark.circle.fill", QStringLiteral("✕")},
        {"plus", QStringLiteral("+")},
        {"doc.badge.plus", QStringLiteral("📄")},
        {"link", QStringLiteral("🔗")},
        {"play.rectangle.on.rectangle", QStringLiteral("▶")},
        {"shield", QStringLiteral("⛉")},
        {"checkmark.shield", QStringLiteral("⛨")},
        {"hand.raised", QStringLiteral("✋")},
        {"point.3.connected.trianglepath.dotted", QStringLiteral("⋰")},
    };
    auto it = glyphs.find(symbol);
    return it == glyphs.end() ? QString() : it->second;
}

QString symbolText(const std::string& symbol, const std::string& text) {
    QString g = glyph(symbol);
    return g.isEmpty() ? QString::fromStdString(text)
                       : g + QLatin1Char(' ') + QString::fromStdString(text);
}

void applyTheme() {
    qApp->setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette p;
    p.setColor(QPalette::Window, background());
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, QColor(14, 14, 16));
    p.setColor(QPalette::AlternateBase, QColor(22, 22, 26));
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, raised());
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::Highlight, accent().darker(250));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(30, 30, 34));
    p.setColor(QPalette::ToolTipText, Qt::white);
    p.setColor(QPalette::PlaceholderText, muted());
    p.setColor(QPalette::Disabled, QPalette::Text, muted().darker(150));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, muted().darker(150));
    qApp->setPalette(p);
    qApp->setFont(font(13));
}

} // namespace tevro::ShellStyle
