#include "tevro/settings/settings_switch.h"

#include <QFontMetrics>
#include <QPainter>
#include <QVariantAnimation>

#include "tevro/library/library_style.h"
#include "tevro/platform/desktop_motion.h"
#include "tevro/settings/settings_style.h"

namespace tevro {

namespace {
constexpr int kCapsuleWidth = 38;
constexpr int kCapsuleHeight = 22;
} // namespace

SettingsSwitch::SettingsSwitch(const QString& title, std::function<bool()> get,
                               std::function<void(bool)> set, QWidget* parent)
    : QAbstractButton(parent), m_get(std::move(get)), m_set(std::move(set)) {
    setObjectName(QStringLiteral("switch:") + title);
    setText(title);
    setAccessibleName(title);
    setCheckable(true);
    setFont(LibraryStyle::font(12));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_motion = new QVariantAnimation(this);
    m_motion->setDuration(120);
    m_motion->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_motion, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_position = v.toReal();
        update();
    });
    sync();
    m_position = isChecked() ? 1 : 0;
    // The click has flipped the check state; hand it to the setting and show
    // what the setting holds afterwards.
    connect(this, &QAbstractButton::clicked, this, [this](bool on) {
        m_set(on);
        sync();
        moveKnob(isChecked());
    });
}

void SettingsSwitch::sync() {
    bool on = m_get();
    if (isChecked() != on) {
        QSignalBlocker block(this);
        setChecked(on);
        moveKnob(on);
    }
}

void SettingsSwitch::moveKnob(bool on) {
    qreal target = on ? 1 : 0;
    // Hidden, or the desktop asks for less motion: the knob jumps.
    if (!isVisible() || DesktopMotion::shared().reduced()) {
        m_motion->stop();
        m_position = target;
        update();
        return;
    }
    m_motion->stop();
    m_motion->setStartValue(m_position);
    m_motion->setEndValue(target);
    m_motion->start();
}

QRectF SettingsSwitch::textRect(int width) const {
    qreal right = width - SettingsStyle::kRowInsetX - kCapsuleWidth - 16;
    return {qreal(SettingsStyle::kRowInsetX), 0,
            std::max<qreal>(right - SettingsStyle::kRowInsetX, 10), 0};
}

int SettingsSwitch::heightForWidth(int width) const {
    QFontMetrics fm(font());
    QRectF box = textRect(width);
    int textHeight =
        fm.boundingRect(QRect(0, 0, int(box.width()), 10000), Qt::TextWordWrap, text()).height();
    return std::max(textHeight, SettingsStyle::kRowMinHeight) + 2 * SettingsStyle::kRowInsetY;
}

QSize SettingsSwitch::sizeHint() const {
    QFontMetrics fm(font());
    int w = 2 * SettingsStyle::kRowInsetX + fm.horizontalAdvance(text()) + 16 + kCapsuleWidth;
    return {w, SettingsStyle::kRowMinHeight + 2 * SettingsStyle::kRowInsetY};
}

QSize SettingsSwitch::minimumSizeHint() const {
    return {2 * SettingsStyle::kRowInsetX + 8 + kCapsuleWidth + 40,
            SettingsStyle::kRowMinHeight + 2 * SettingsStyle::kRowInsetY};
}

void SettingsSwitch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(isEnabled() ? 1.0 : 0.45);
    QRectF text = textRect(width());
    text.setHeight(height());
    p.setFont(font());
    p.setPen(LibraryStyle::text());
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, this->text());

    auto mix = [t = m_position](const QColor& a, const QColor& b) {
        return QColor::fromRgbF(
            a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
            a.blueF() + (b.blueF() - a.blueF()) * t, a.alphaF() + (b.alphaF() - a.alphaF()) * t);
    };
    QRectF capsule(width() - SettingsStyle::kRowInsetX - kCapsuleWidth,
                   (height() - kCapsuleHeight) / 2.0, kCapsuleWidth, kCapsuleHeight);
    SettingsStyle::roundedBox(p, capsule, kCapsuleHeight / 2.0,
                              mix(LibraryStyle::raised(), LibraryStyle::accent()),
                              mix(QColor(255, 255, 255, 46), QColor(255, 255, 255, 0)), 1);
    qreal left = capsule.left() + 3;
    qreal right = capsule.right() - 3 - 16;
    QRectF knob(left + (right - left) * m_position, capsule.top() + 3, 16, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(mix(LibraryStyle::muted(), LibraryStyle::background()));
    p.drawEllipse(knob);
}

} // namespace tevro
