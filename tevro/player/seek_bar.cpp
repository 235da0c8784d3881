#include "tevro/player/seek_bar.h"

#include <algorithm>
#include <cmath>

#include <QAccessibleWidget>
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
constexpr double kRingWidth = 1.5;

// What assistive tools see: a slider named "Позиция" whose value reads
// "0:42 из 1:30:00", stepped by ten seconds through its actions or its value.
class SeekBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SeekBarAccessible(SeekBar* bar) : QAccessibleWidget(bar, QAccessible::Slider) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return bar()->accessibleValue();
        return QAccessibleWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QStringList actionNames() const override {
        return QStringList{increaseAction(), decreaseAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name == increaseAction())
            bar()->step(1);
        else if (name == decreaseAction())
            bar()->step(-1);
        else
            QAccessibleWidget::doAction(name);
    }

    QVariant currentValue() const override { return bar()->position(); }
    void setCurrentValue(const QVariant& value) override {
        if (bar()->onSeek)
            bar()->onSeek(value.toDouble());
    }
    QVariant maximumValue() const override { return std::max(0.0, bar()->duration()); }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return kAccessibleStep; }

private:
    SeekBar* bar() const { return static_cast<SeekBar*>(object()); }
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* bar = qobject_cast<SeekBar*>(object))
        return new SeekBarAccessible(bar);
    return nullptr;
}

double fraction(double value, double duration) {
    if (!(duration > 0))
        return 0;
    return std::clamp(value / duration, 0.0, 1.0);
}

} // namespace

SeekBar::SeekBar(QWidget* parent) : QWidget(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
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
    if (hasFocus()) {
        // Reached by Tab only (a click does not focus it), so the ring always shows.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(LibraryStyle::accent(), kRingWidth));
        const double inset = kRingWidth / 2;
        p.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), height() / 2.0,
                          height() / 2.0);
    }
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

void SeekBar::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void SeekBar::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void SeekBar::step(int direction) {
    if (onSeek)
        onSeek(m_position + direction * kAccessibleStep);
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

QString SeekBar::accessibleValue() const {
    return QString::fromStdString(Format::clock(m_position) + " из " + Format::clock(m_duration));
}

void SeekBar::updateAccessibleValue() {
    if (!QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent event(this, m_position);
    QAccessible::updateAccessibility(&event);
}

} // namespace tevro
