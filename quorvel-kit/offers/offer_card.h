#pragma once

// One offer as a card: the whole card is a button that opens the offer, and a
// small round button in its top trailing corner hides it. The card shows the
// wide form of its content from 440 points of width, the narrow one below,
// and lays itself out right to left for right-to-left offers.

#include <functional>

#include <QWidget>

#include "quorvel-kit/offers/offer.h"

class QAbstractButton;

namespace quorvel {

class OfferCardLayout;
class PressableCard;

class OfferCard : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWideMinimumWidth = 440;

    // `hideLabel` is the hide button's tooltip and accessible name, as given.
    OfferCard(Offer offer, QString hideLabel, std::function<void()> open,
              std::function<void()> hide, QWidget* parent = nullptr);

    const Offer& offer() const { return m_offer; }
    // The form shown at the current width.
    OfferCardLayout* content() const;
    PressableCard* button() const { return m_button; }
    QAbstractButton* hideButton() const { return m_hideButton; }
    void setTextScale(qreal scale);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();

    Offer m_offer;
    std::function<void()> m_open;
    std::function<void()> m_hide;
    OfferCardLayout* m_wide;
    OfferCardLayout* m_narrow;
    PressableCard* m_button;
    QAbstractButton* m_hideButton;
};

} // namespace quorvel
