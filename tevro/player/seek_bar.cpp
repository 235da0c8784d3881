#include "tevro/player/seek_bar.h"

#include <algorithm>
#include <cmath>

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "tevro/core/format.h"
#include "tevro/library/library_style.h"

namespace tevro {

namespace {

constexpr double kBarHeight = 5;
constexpr double kKnob = 12;
constexpr int kLabelShift = 22;
constexpr int kLabelRightStop = 50;
constexpr int kLabelAbove = 20;
constexpr double kAccessibleStep = 10;

double fraction(double value, double duration) {
    if (!(duration > 0))
        return 0;
    return std::clamp(value / duration, 0.0, 1.0);
}

} // namespace

SeekBar::SeekBar(QWidget* parent) : QWidget(parent) {
    setFixedHeight(kHeight);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName("Позиция");
    updateAccessibleValue();
}

void SeekBar::setPosition(double seconds) {
    if (seconds == m_position)
        return;
    m_position = seconds;
    updateAccessibleValue();
    update();
}

void SeekBar::setDuration(double seconds) {
    if (seconds == m_duration)
        return;
    m_duration = seconds;
    updateAccessibleValue();
    updateHoverLabel();
    update();
}

void SeekBar::setCacheTime(double seconds) {
    if (seconds == m_cacheTime)
        return;
    m_cacheTime = seconds;
    update();
}

void SeekBar::setRanges(std::vector<DownloadedRange> ranges) {
    if (ranges == m_ranges)
        return;
    m_ranges = std::move(ranges);
    update();
}

void SeekBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    double w = width();
    double top = (height() - kBarHeight) / 2;
    auto capsule = [&](double length, QColor color) {
        if (length <= 0)
            return;
        p.setBrush(color);
        p.drawRoundedRect(QRectF(0, top, length, kBarHeight), kBarHeight / 2, kBarHeight / 2);
    };
    capsule(w, QColor(255, 255, 255, 36));
    p.setBrush(QColor(255, 255, 255, 56));
    for (const auto& r : m_ranges) {
        double width = std::max((r.upper - r.lower) * w, 1.0);
        p.drawRect(QRectF(r.lower * w, top, width, kBarHeight));
    }
    double shown = shownPosition();
    capsule(w * fraction(std::max(m_cacheTime, shown), m_duration), QColor(255, 255, 255, 89));
    double played = w * fraction(shown, m_duration);
    capsule(played, LibraryStyle::accent());
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(played - kKnob / 2, (height() - kKnob) / 2, kKnob, kKnob));
}

void SeekBar::drag(double x) {
    if (!(m_duration > 0) || width() <= 0)
        return;
    m_dragTime = m_duration * std::clamp(x / width(), 0.0, 1.0);
    update();
}

void SeekBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    drag(event->position().x());
}

void SeekBar::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        drag(event->position().x());
    setHover(event->position().x());
}

void SeekBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    if (auto time = m_dragTime) {
        m_dragTime.reset();
        if (onSeek)
            onSeek(*time);
    }
    update();
}

void SeekBar::leaveEvent(QEvent* event) {
    setHover(std::nullopt);
    QWidget::leaveEvent(event);
}

void SeekBar::hideEvent(QHideEvent* event) {
    setHover(std::nullopt);
    QWidget::hideEvent(event);
}

void SeekBar::keyPressEvent(QKeyEvent* event) {
    // The adjustable action of assistive tools, from the keyboard.
    if (event->key() == Qt::Key_Right || event->key() == Qt::Key_Up) {
        if (onSeek)
            onSeek(m_position + kAccessibleStep);
        return;
    }
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Down) {
        if (onSeek)
            onSeek(m_position - kAccessibleStep);
        return;
    }
    QWidget::keyPressEvent(event);
}

void SeekBar::setHover(std::optional<double> x) {
    if (x)
        x = std::clamp(*x, 0.0, static_cast<double>(width()));
    m_hoverX = x;
    updateHoverLabel();
}

std::optional<QString> SeekBar::hoverText() const {
    if (!(m_duration > 0) || !m_hoverX || width() <= 0)
        return std::nullopt;
    return QString::fromStdString(Format::clock(m_duration * *m_hoverX / width()));
}

std::optional<int> SeekBar::hoverLabelX() const {
    if (!hoverText())
        return std::nullopt;
    return std::min(width() - kLabelRightStop,
                    std::max(static_cast<int>(std::lround(*m_hoverX)) - kLabelShift, 0));
}

void SeekBar::updateHoverLabel() {
    auto text = hoverText();
    if (!text) {
        if (m_hoverLabel)
            m_hoverLabel->hide();
        return;
    }
    if (!m_hoverLabel) {
        m_hoverLabel = new QLabel(window());
        m_hoverLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
        QFont font = m_hoverLabel->font();
        font.setPixelSize(11);
        m_hoverLabel->setFont(font);
        m_hoverLabel->setStyleSheet("QLabel { color: white; background: rgba(0, 0, 0, 191);"
                                    " border-radius: 4px; padding: 2px 6px; }");
    }
    m_hoverLabel->setText(*text);
    m_hoverLabel->adjustSize();
    QPoint at = mapTo(window(), QPoint(*hoverLabelX(), -kLabelAbove));
    m_hoverLabel->move(at);
    m_hoverLabel->show();
    m_hoverLabel->raise();
}

void SeekBar::updateAccessibleValue() {
    setAccessibleDescription(
        QString::fromStdString(Format::clock(m_position) + " из " + Format::clock(m_duration)));
}

} // namespace tevro
