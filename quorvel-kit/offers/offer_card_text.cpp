#include "quorvel-kit/offers/offer_card_text.h"

#include <cmath>

#include <QEvent>
#include <QPainter>
#include <QTextLayout>

namespace quorvel {

namespace {

// Lays `text` out at `width` (unbounded when negative) and hands each line on.
template <typename Each>
qreal layOut(const QString& text, const QFont& font, qreal width, Each each) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(width < 0 ? QTextOption::NoWrap : QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width >= 0 ? width : 1e6);
        line.setPosition(QPointF(0, y));
        y += line.height();
        each(line);
    }
    layout.endLayout();
    each.finish(layout);
    return y;
}

struct Ignore {
    void operator()(const QTextLine&) const {}
    void finish(QTextLayout&) const {}
};

} // namespace

OfferCardText::OfferCardText(QString text, const QFont& font, bool wraps, QWidget* parent)
    : QWidget(parent), m_text(std::move(text)), m_wraps(wraps) {
    setFont(font);
    setAccessibleName(m_text);
    QSizePolicy policy(wraps ? QSizePolicy::Preferred : QSizePolicy::Fixed,
                       wraps ? QSizePolicy::Minimum : QSizePolicy::Fixed);
    policy.setHeightForWidth(wraps);
    setSizePolicy(policy);
}

void OfferCardText::setColor(std::optional<QColor> color) {
    m_color = color;
    update();
}

void OfferCardText::setElides(bool elides) {
    if (m_wraps || elides == m_elides)
        return;
    m_elides = elides;
    QSizePolicy policy = sizePolicy();
    policy.setHorizontalPolicy(elides ? QSizePolicy::Preferred : QSizePolicy::Fixed);
    setSizePolicy(policy);
    updateGeometry();
    update();
}

void OfferCardText::setVerticalAlignment(Qt::Alignment alignment) {
    m_vertical = alignment & Qt::AlignVertical_Mask;
    update();
}

int OfferCardText::lineWidth() const {
    return int(std::ceil(QFontMetricsF(font()).horizontalAdvance(m_text)));
}

int OfferCardText::heightForWidth(int width) const {
    return int(std::ceil(layOut(m_text, font(), m_wraps ? width : -1, Ignore{})));
}

QSize OfferCardText::sizeHint() const {
    const int width = lineWidth();
    return {width, int(std::ceil(layOut(m_text, font(), -1, Ignore{})))};
}

QSize OfferCardText::minimumSizeHint() const {
    if (m_elides) // room for a letter and the ellipsis
        return {std::min(lineWidth(), QFontMetrics(font()).horizontalAdvance(QStringLiteral("W…"))),
                sizeHint().height()};
    if (!m_wraps)
        return sizeHint();
    // Down to a few letters a line: long words break where they must.
    const int least = std::min(lineWidth(), QFontMetrics(font()).averageCharWidth() * 4);
    // The height comes from the width given (a tall least height here would
    // hold every layout around it to that height).
    return {least, QFontMetrics(font()).height()};
}

void OfferCardText::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

void OfferCardText::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(m_color.value_or(palette().color(QPalette::WindowText)));
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    const qreal width = this->width();
    struct Draw {
        QPainter& painter;
        bool rtl;
        qreal width;
        void operator()(QTextLine& line) const {
            if (rtl)
                line.setPosition(QPointF(width - line.naturalTextWidth(), line.position().y()));
        }
        qreal top = 0;
        void finish(QTextLayout& layout) const { layout.draw(&painter, QPointF(0, top)); }
    };
    // Given more height than it needs (beside a taller icon), the text sits in the middle.
    const qreal needed = heightForWidth(int(width));
    const qreal room = std::max<qreal>(0, height() - needed);
    const qreal top = m_vertical & Qt::AlignTop      ? 0
                      : m_vertical & Qt::AlignBottom ? room
                                                     : room / 2;
    const QString shown =
        m_elides ? QFontMetricsF(font()).elidedText(m_text, Qt::ElideRight, width) : m_text;
    layOut(shown, font(), m_wraps ? width : -1, Draw{painter, rtl, width, top});
}

} // namespace quorvel
