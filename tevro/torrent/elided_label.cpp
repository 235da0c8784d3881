#include "tevro/torrent/elided_label.h"

#include <cmath>

#include <QFontMetricsF>
#include <QPainter>

namespace tevro {

ElidedLabel::ElidedLabel(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void ElidedLabel::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    setToolTip(text);
    setAccessibleName(text);
    updateGeometry();
    update();
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode) {
    m_mode = mode;
    update();
}

void ElidedLabel::setColor(const QColor& color) {
    m_color = color;
    update();
}

QSize ElidedLabel::sizeHint() const {
    // Advances are fractional: the rounded-up width keeps a text that fits whole.
    int width = static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(m_text)));
    return {width + 1, fontMetrics().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {40, fontMetrics().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(m_color.isValid() ? m_color : palette().color(QPalette::WindowText));
    p.drawText(rect(), Qt::AlignVCenter | Qt::AlignLeft,
               fontMetrics().elidedText(m_text, m_mode, width()));
}

} // namespace tevro
