#include "quorvel-kit/offers/pressable_card.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <QEnterEvent>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace quorvel {

namespace {

// The dynamic property through which a card tells its content the reveal.
constexpr char kOfferRevealKey[] = "quorvel.offerReveal";

// A spring of response 0.42 s and damping 0.72, over 0.5 s (it has settled by then).
constexpr int kSpringMilliseconds = 500;

qreal spring(qreal progress) {
    if (progress >= 1)
        return 1;
    constexpr qreal response = 0.42;
    constexpr qreal damping = 0.72;
    const qreal omega = 2 * std::numbers::pi / response;
    const qreal damped = omega * std::sqrt(1 - damping * damping);
    const qreal t = progress * kSpringMilliseconds / 1000.0;
    return 1 - std::exp(-damping * omega * t) *
                   (std::cos(damped * t) + damping * omega / damped * std::sin(damped * t));
}

bool g_reduceMotion = false;
std::vector<PressableCard*>& liveCards() {
    static std::vector<PressableCard*> cards;
    return cards;
}

} // namespace

qreal offerReveal(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant value = w->property(kOfferRevealKey);
        if (value.isValid())
            return value.toReal();
    }
    return 0;
}

PressableCard::PressableCard(QWidget* label, QWidget* parent)
    : QAbstractButton(parent), m_label(label) {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
    // The content is text on the card, not a button's caption.
    setBackgroundRole(QPalette::Window);
    setForegroundRole(QPalette::WindowText);
    setProperty(kOfferRevealKey, qreal(0));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(m_label);

    QEasingCurve curve;
    curve.setCustomType(spring);
    m_spring.setEasingCurve(curve);
    m_spring.setDuration(kSpringMilliseconds);
    connect(&m_spring, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setReveal(value.toReal()); });
    connect(&m_spring, &QVariantAnimation::finished, this,
            [this] { setReveal(m_spring.endValue().toReal()); });
    connect(this, &QAbstractButton::pressed, this, &PressableCard::updateActive);
    connect(this, &QAbstractButton::released, this, &PressableCard::updateActive);
    liveCards().push_back(this);
}

PressableCard::~PressableCard() {
    std::erase(liveCards(), this);
}

QPainterPath PressableCard::shape() const {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    return path;
}

void PressableCard::setReduceMotion(bool reduce) {
    g_reduceMotion = reduce;
    for (PressableCard* card : liveCards())
        card->updateActive();
}

bool PressableCard::reduceMotion() {
    return g_reduceMotion;
}

void PressableCard::paintEvent(QPaintEvent*) {
    // The content draws the whole card.
}

bool PressableCard::hitButton(const QPoint& pos) const {
    return shape().contains(pos);
}

void PressableCard::enterEvent(QEnterEvent* event) {
    setHovering(shape().contains(event->position()));
    QAbstractButton::enterEvent(event);
}

void PressableCard::leaveEvent(QEvent* event) {
    setHovering(false);
    QAbstractButton::leaveEvent(event);
}

void PressableCard::mouseMoveEvent(QMouseEvent* event) {
    setHovering(shape().contains(event->position()));
    QAbstractButton::mouseMoveEvent(event);
}

void PressableCard::setHovering(bool hovering) {
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    updateActive();
}

void PressableCard::updateActive() {
    const bool active = !g_reduceMotion && (m_hovering || isDown());
    if (active == m_active)
        return;
    m_active = active;
    m_spring.stop();
    m_spring.setStartValue(m_reveal);
    m_spring.setEndValue(active ? qreal(1) : qreal(0));
    m_spring.start();
}

void PressableCard::setReveal(qreal reveal) {
    if (reveal == m_reveal)
        return;
    m_reveal = reveal;
    setProperty(kOfferRevealKey, reveal);
    m_label->update();
    emit revealChanged(reveal);
}

} // namespace quorvel
