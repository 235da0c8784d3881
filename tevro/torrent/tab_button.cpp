#include "tevro/torrent/tab_button.h"

#include <QPainter>

#include "tevro/library/library_style.h"

namespace tevro {

TabButton::TabButton(const QString& text, qreal pixelSize, int height, int barGap, QWidget* parent)
    : QAbstractButton(parent), m_height(height), m_barGap(barGap) {
    setText(text);
    setFont(LibraryStyle::font(pixelSize));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(text);
}

void TabButton::setCurrent(bool current) {
    if (current == m_current)
        return;
    m_current = current;
    // The current tab reads as selected to assistive tools.
    setCheckable(true);
    setChecked(current);
    update();
}

QSize TabButton::sizeHint() const {
    return {fontMetrics().horizontalAdvance(text()) + 2, m_height};
}

void TabButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setOpacity(isEnabled() || m_current ? 1.0 : 0.6);
    p.setPen(m_current ? LibraryStyle::text() : LibraryStyle::muted());
    QRect textRect = rect().adjusted(0, 0, 0, -m_barGap);
    p.drawText(textRect, Qt::AlignCenter, text());
    if (m_current) {
        int w = fontMetrics().horizontalAdvance(text());
        p.fillRect(QRect((width() - w) / 2, height() - 2, w, 2), LibraryStyle::accent());
    }
}

} // namespace tevro
