#include "tevro/torrent/elided_label.h"

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

void ElidedLabel::setColor(const QColor& color) {
    m_color = color;
    update();
}

QSize ElidedLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(m_text), fontMetrics().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {40, fontMetrics().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(m_color.isValid() ? m_color : palette().color(QPalette::WindowText));
    p.drawText(rect(), Qt::AlignVCenter | Qt::AlignLeft,
               fontMetrics().elidedText(m_text, Qt::ElideMiddle, width()));
}

} // namespace tevro
