#include "tevro/settings/settings_switch.h"

#include <QFontMetrics>
#include <QPainter>

#include "tevro/library/library_style.h"
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
    sync();
    // The click has flipped the check state; hand it to the setting and show
    // what the setting holds afterwards.
    connect(this, &QAbstractButton::clicked, this, [this](bool on) {
        m_set(on);
        sync();
    });
}

void SettingsSwitch::sync() {
    bool on = m_get();
    if (isChecked() != on) {
        QSignalBlocker block(this);
        setChecked(on);
        update();
    }
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

    bool on = isChecked();
    QRectF capsule(width() - SettingsStyle::kRowInsetX - kCapsuleWidth,
                   (height() - kCapsuleHeight) / 2.0, kCapsuleWidth, kCapsuleHeight);
    SettingsStyle::roundedBox(p, capsule, kCapsuleHeight / 2.0,
                              on ? LibraryStyle::accent() : LibraryStyle::raised(),
                              on ? QColor(255, 255, 255, 0) : QColor(255, 255, 255, 46), 1);
    QRectF knob(on ? capsule.right() - 3 - 16 : capsule.left() + 3, capsule.top() + 3, 16, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(on ? LibraryStyle::background() : LibraryStyle::muted());
    p.drawEllipse(knob);
}

} // namespace tevro
