#include "tevro/shell/toast.h"

#include <algorithm>
#include <cmath>

#include <QAccessible>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include "tevro/library/library_style.h"

namespace tevro {

namespace {
constexpr int kPadX = 14;
constexpr int kPadY = 8;
// How far below its resting place the toast starts and ends.
constexpr int kTravel = 16;
} // namespace

Toast::Toast(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("toast"));
    setFont(LibraryStyle::font(13));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    m_motion.setDuration(kDurationMs);
    m_motion.setEasingCurve(QEasingCurve::OutCubic);
    connect(&m_motion, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_presence = v.toReal();
        place();
        update();
    });
    connect(&m_motion, &QVariantAnimation::finished, this, [this] {
        if (m_target == 0)
            hide();
    });
    hide();
}

void Toast::setArea(const QRect& area) {
    if (area == m_area)
        return;
    m_area = area;
    if (!m_text.isEmpty())
        layoutText();
    place();
}

void Toast::setReduceMotion(bool reduce) {
    m_reduceMotion = reduce;
}

void Toast::showText(const QString& text) {
    if (text.isEmpty()) {
        moveTo(0);
        return;
    }
    m_text = text;
    setAccessibleName(text);
    layoutText();
    place();
    raise();
    const bool arriving = !isVisible() || m_target == 0;
    moveTo(1);
    if (arriving && QAccessible::isActive()) {
        QAccessibleEvent alert(this, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

void Toast::moveTo(qreal target) {
    m_target = target;
    m_motion.stop();
    if (target > 0)
        show();
    if (m_reduceMotion || !isVisible() || !parentWidget() || !parentWidget()->isVisible()) {
        m_presence = target;
        place();
        update();
        if (target == 0)
            hide();
        return;
    }
    m_motion.setStartValue(m_presence);
    m_motion.setEndValue(target);
    m_motion.start();
}

void Toast::layoutText() {
    const int widest = std::max(80, m_area.width() - 2 * kSideMargin - 2 * kPadX);
    const QFontMetricsF fm(font());
    m_lines.clear();
    QTextLayout layout(m_text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(widest);
        if (m_lines.size() == kMaxLines - 1) {
            // The last line takes the rest, elided.
            m_lines << fm.elidedText(m_text.mid(line.textStart()).simplified(), Qt::ElideRight,
                                     widest);
            break;
        }
        m_lines << m_text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    qreal textWidth = 0;
    for (const QString& l : m_lines)
        textWidth = std::max(textWidth, fm.horizontalAdvance(l));
    const int w = int(std::ceil(textWidth)) + 2 * kPadX;
    const int h =
        int(std::ceil(fm.height() * m_lines.size() + fm.leading() * (m_lines.size() - 1))) +
        2 * kPadY;
    m_resting =
        QRect(m_area.left() + (m_area.width() - w) / 2, m_area.bottom() + 1 - kBottom - h, w, h);
}

void Toast::place() {
    if (m_resting.isEmpty())
        return;
    const int drop = int(std::round((1 - m_presence) * kTravel));
    setGeometry(m_resting.translated(0, drop));
}

void Toast::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(std::clamp(m_presence, 0.0, 1.0));
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = std::min(r.height() / 2, 17.0);
    QPainterPath capsule;
    capsule.addRoundedRect(r, radius, radius);
    p.fillPath(capsule, QColor(44, 46, 52, 235));
    p.strokePath(capsule, QPen(LibraryStyle::line(), 1));
    p.setPen(LibraryStyle::text());
    p.setFont(font());
    const QFontMetricsF fm(font());
    qreal y = kPadY;
    for (const QString& line : m_lines) {
        p.drawText(QRectF(kPadX, y, width() - 2 * kPadX, fm.height()),
                   Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += fm.height() + fm.leading();
    }
}

} // namespace tevro
