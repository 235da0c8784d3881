#include "tevro/torrent/clamped_label.h"

#include <cmath>

#include <QEvent>
#include <QPainter>
#include <QTextLayout>

namespace tevro {

ClampedLabel::ClampedLabel(int lines, QWidget* parent) : QWidget(parent), m_lines(lines) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ClampedLabel::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void ClampedLabel::setColor(const QColor& color) {
    m_color = color;
    update();
}

int ClampedLabel::lineHeight() const {
    return static_cast<int>(std::ceil(QFontMetricsF(font()).lineSpacing()));
}

QStringList ClampedLabel::lines(int width) const {
    QStringList out;
    if (m_text.isEmpty() || width <= 0)
        return out;
    QTextLayout layout(m_text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (out.size() == m_lines - 1) {
            // The last line takes the rest, cut at its end.
            out << QFontMetricsF(font()).elidedText(m_text.mid(line.textStart()).trimmed(),
                                                    Qt::ElideRight, width);
            break;
        }
        out << m_text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return out;
}

QSize ClampedLabel::sizeHint() const {
    int width = static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(m_text)));
    return {width, heightForWidth(width)};
}

QSize ClampedLabel::minimumSizeHint() const {
    return {fontMetrics().averageCharWidth() * 4, lineHeight()};
}

int ClampedLabel::heightForWidth(int width) const {
    return lineHeight() * std::max<qsizetype>(1, lines(width).size());
}

void ClampedLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

void ClampedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(m_color.isValid() ? m_color : palette().color(QPalette::WindowText));
    const int h = lineHeight();
    int y = 0;
    for (const QString& line : lines(width())) {
        p.drawText(QRect(0, y, width(), h), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += h;
    }
}

} // namespace tevro
