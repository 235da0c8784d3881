#include "tevro/settings/settings_style.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

#include "tevro/library/library_style.h"

namespace tevro {

namespace {

QString rgba(const QColor& c) {
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(c.alphaF(), 0, 'f', 3);
}

// Fades a field when it is disabled.
class FieldFader : public QObject {
public:
    explicit FieldFader(QLineEdit* field) : QObject(field), m_field(field) {
        m_effect = new QGraphicsOpacityEffect(field);
        field->setGraphicsEffect(m_effect);
        update();
        field->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange)
            update();
        return false;
    }

private:
    void update() {
        m_effect->setOpacity(m_field->isEnabled() ? 1.0 : 0.45);
        m_effect->setEnabled(!m_field->isEnabled());
    }
    QLineEdit* m_field;
    QGraphicsOpacityEffect* m_effect;
};

} // namespace

void SettingsStyle::roundedBox(QPainter& painter, const QRectF& rect, qreal radius,
                               const QColor& fill, const QColor& stroke, qreal strokeWidth) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(rect, radius, radius);
    if (strokeWidth > 0 && stroke.alpha() > 0) {
        qreal half = strokeWidth / 2;
        QRectF inner = rect.adjusted(half, half, -half, -half);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(stroke, strokeWidth));
        painter.drawRoundedRect(inner, radius - half, radius - half);
    }
    painter.restore();
}

void SettingsStyle::applyField(QLineEdit* field) {
    field->setFont(LibraryStyle::font(12));
    field->setFixedHeight(kFieldHeight);
    field->setFrame(false);
    // Padding makes up for the wider focus outline so the text does not move.
    field->setStyleSheet(
        QStringLiteral("QLineEdit { background: %1; color: white; border: 1px solid %2;"
                       " border-radius: 8px; padding: 0 9px; }"
                       "QLineEdit:focus { border: 1.5px solid %3; padding: 0 8.5px; }")
            .arg(rgba(LibraryStyle::background()), rgba(LibraryStyle::line()),
                 rgba(LibraryStyle::accent())));
    new FieldFader(field);
}

QColor SettingsStyle::withAlpha(const QColor& color, qreal alpha) {
    QColor c = color;
    c.setAlphaF(color.alphaF() * alpha);
    return c;
}

SettingsActionButton::SettingsActionButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent) {
    setFont(LibraryStyle::font(12, QFont::Medium));
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setFixedHeight(SettingsStyle::kFieldHeight);
    setAccessibleName(text);
}

QSize SettingsActionButton::sizeHint() const {
    QFontMetrics fm(font());
    return {fm.horizontalAdvance(text()) + 24, SettingsStyle::kFieldHeight};
}

void SettingsActionButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    bool enabled = isEnabled();
    qreal opacity = isDown() ? 0.65 : (enabled ? 1.0 : 0.45);
    p.setOpacity(opacity);
    bool hovered = enabled && underMouse();
    SettingsStyle::roundedBox(p, QRectF(rect()), 8,
                              hovered ? LibraryStyle::raised() : LibraryStyle::background(),
                              LibraryStyle::line(), 1);
    paintLabel(p, QRectF(rect()).adjusted(12, 0, -12, 0),
               enabled ? LibraryStyle::text() : LibraryStyle::muted());
}

void SettingsActionButton::paintLabel(QPainter& painter, const QRectF& rect, const QColor& color) {
    painter.setPen(color);
    painter.setFont(font());
    painter.drawText(rect, Qt::AlignCenter, text());
}

SettingsNavigationButton::SettingsNavigationButton(QWidget* parent) : QPushButton(parent) {
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setFlat(true);
}

void SettingsNavigationButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(isDown() ? 0.7 : 1.0);
    paintBackground(p);
    if (underMouse())
        SettingsStyle::roundedBox(p, QRectF(rect()), 9, QColor(255, 255, 255, 10), Qt::transparent,
                                  0);
    paintLabel(p);
}

} // namespace tevro
