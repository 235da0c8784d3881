#include "tevro/library/fitted_label.h"

#include <algorithm>
#include <cmath>

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>

#include "tevro/library/library_style.h"

namespace tevro {

FittedLabel::FittedLabel(qreal minimumScale, QWidget* parent)
    : QWidget(parent), m_color(LibraryStyle::muted()), m_minimumScale(minimumScale) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void FittedLabel::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void FittedLabel::setColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    update();
}

qreal FittedLabel::scale() const {
    const qreal natural = QFontMetricsF(font()).horizontalAdvance(m_text);
    if (natural <= width() || natural <= 0)
        return 1;
    return std::max(m_minimumScale, width() / natural);
}

QFont FittedLabel::scaledFont() const {
    QFont f = font();
    const qreal s = scale();
    if (s < 1) {
        // Pixel sizes are whole: round down so the text surely fits.
        const int pixels = f.pixelSize() > 0 ? f.pixelSize() : int(std::round(f.pointSizeF()));
        f.setPixelSize(std::max(1, int(std::floor(pixels * s))));
    }
    return f;
}

QString FittedLabel::shownText() const {
    return QFontMetricsF(scaledFont()).elidedText(m_text, Qt::ElideRight, width());
}

QSize FittedLabel::sizeHint() const {
    const QFontMetricsF fm(font());
    return {int(std::ceil(fm.horizontalAdvance(m_text))), int(std::ceil(fm.height()))};
}

QSize FittedLabel::minimumSizeHint() const {
    return {0, sizeHint().height()};
}

void FittedLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

void FittedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(scaledFont());
    p.setPen(m_color);
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownText());
}

} // namespace tevro
