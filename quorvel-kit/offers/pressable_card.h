#pragma once

// The button that an offer card is: it tracks whether the pointer is over the
// card or the card is pressed and tells the card's content how far it is
// revealed (0 at rest, 1 hovered or pressed), moving there on a spring. The
// card itself neither moves nor fades; its content reacts to `offerReveal`.

#include <vector>

#include <QAbstractButton>
#include <QPainterPath>
#include <QVariantAnimation>

namespace quorvel {

// How far the card around `widget` is revealed; 0 outside any card.
qreal offerReveal(const QWidget* widget);

class PressableCard : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr qreal kCornerRadius = 24;

    // `label` is the card's content; it takes no clicks of its own.
    explicit PressableCard(QWidget* label, QWidget* parent = nullptr);
    ~PressableCard() override;

    QWidget* label() const { return m_label; }
    bool isHovering() const { return m_hovering; }
    // Hovered or pressed, and motion not reduced.
    bool isActive() const { return m_active; }
    // The value the content reads now (moves between 0 and 1 on the spring).
    qreal reveal() const { return m_reveal; }
    // The rounded outline that takes clicks and hover.
    QPainterPath shape() const;

    // The desktop's wish for less motion, as the host knows it; while set no
    // card reveals, and revealed cards fall back at once.
    static void setReduceMotion(bool reduce);
    static bool reduceMotion();

signals:
    void revealChanged(qreal reveal);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void setHovering(bool hovering);
    void updateActive();
    void setReveal(qreal reveal);

    QWidget* m_label;
    QVariantAnimation m_spring;
    bool m_hovering = false;
    bool m_active = false;
    qreal m_reveal = 0;
};

} // namespace quorvel
