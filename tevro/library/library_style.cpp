#include "tevro/library/library_style.h"

#include <QApplication>
#include <QFontDatabase>

#include "tevro/library/application_style.h"

namespace tevro {

namespace {

QColor grey(double white) {
    return QColor::fromRgbF(white, white, white);
}

QString sansFamily() {
    static const QString family = [] {
        const QStringList families = QFontDatabase::families();
        for (const char* name : {"Noto Sans", "DejaVu Sans", "Liberation Sans"}) {
            if (families.contains(QString::fromLatin1(name)))
                return QString::fromLatin1(name);
        }
        return QStringLiteral("Sans Serif");
    }();
    return family;
}

} // namespace

const QColor& LibraryStyle::background() {
    static const QColor c(Qt::black);
    return c;
}
const QColor& LibraryStyle::sidebar() {
    static const QColor c = grey(0.10);
    return c;
}
const QColor& LibraryStyle::surface() {
    static const QColor c(Qt::black);
    return c;
}
const QColor& LibraryStyle::raised() {
    static const QColor c = grey(0.12);
    return c;
}
const QColor& LibraryStyle::accent() {
    static const QColor c = QColor::fromRgbF(0.64f, 0.91f, 0.73f);
    return c;
}
const QColor& LibraryStyle::muted() {
    static const QColor c = QColor::fromRgbF(0.64f, 0.67f, 0.73f);
    return c;
}
const QColor& LibraryStyle::line() {
    static const QColor c = QColor::fromRgbF(1, 1, 1, 0.09f);
    return c;
}
const QColor& LibraryStyle::text() {
    static const QColor c(Qt::white);
    return c;
}
const QColor& LibraryStyle::errorText() {
    static const QColor c = QColor::fromRgbF(1.0f, 0.58f, 0.58f);
    return c;
}
const QColor& LibraryStyle::mint() {
    static const QColor c = QColor::fromRgbF(0.4f, 0.85f, 0.8f);
    return c;
}
const QColor& LibraryStyle::red() {
    static const QColor c = QColor::fromRgbF(1.0f, 0.27f, 0.23f);
    return c;
}

QFont LibraryStyle::font(qreal pixelSize, QFont::Weight weight) {
    QFont f(sansFamily());
    f.setPixelSize(qMax(1, qRound(pixelSize)));
    f.setWeight(weight);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QPalette LibraryStyle::palette() {
    QPalette p;
    const QColor disabledText = QColor::fromRgbF(1, 1, 1, 0.35f);
    p.setColor(QPalette::Window, background());
    p.setColor(QPalette::WindowText, text());
    p.setColor(QPalette::Base, surface());
    p.setColor(QPalette::AlternateBase, sidebar());
    p.setColor(QPalette::Button, raised());
    p.setColor(QPalette::ButtonText, text());
    p.setColor(QPalette::Text, text());
    p.setColor(QPalette::BrightText, accent());
    p.setColor(QPalette::Highlight, accent());
    p.setColor(QPalette::HighlightedText, background());
    p.setColor(QPalette::ToolTipBase, raised());
    p.setColor(QPalette::ToolTipText, text());
    p.setColor(QPalette::PlaceholderText, muted());
    p.setColor(QPalette::Link, accent());
    p.setColor(QPalette::Light, grey(0.2));
    p.setColor(QPalette::Midlight, grey(0.16));
    p.setColor(QPalette::Mid, grey(0.12));
    p.setColor(QPalette::Dark, grey(0.06));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabledText);
    return p;
}

void LibraryStyle::apply(QApplication& app) {
    QApplication::setStyle(new ApplicationStyle);
    QApplication::setPalette(palette());
    app.setFont(font(13));
}

} // namespace tevro
